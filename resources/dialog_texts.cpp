#include "resources/dialog_texts.h"

namespace qelvio::resources {

const char16_t* dialog_control_text(int dialog, int control) {
    if (dialog == 140) {
        switch (control) {
        case 1011: return kOptionsFilenames;
        case 1092: return kOptionsAnnotationIcons;
        case 1115: return kOptionsAutoAudio;
        case 1076: return kOptionsAssociate;
        default: return nullptr;
        }
    }
    return nullptr;
}

}  // namespace qelvio::resources
