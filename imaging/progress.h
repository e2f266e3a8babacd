// Percent-mode progress for operations that walk source rows. Internal to
// the imaging library.
#pragma once

#include "imaging/dib.h"

namespace qelvio::imaging {

class RowPercentProgress {
public:
    RowPercentProgress(ProgressCallback progress, std::intptr_t user, int rows)
        : progress_(progress), user_(user), rows_(rows) {}

    // After row i (from 0): reports ((i + 1) x 100) / rows when that exceeds
    // (i x 100) / rows. False when the callback asked to cancel.
    bool row_done(int i) const {
        if (!progress_ || rows_ <= 0) return true;
        const long long now = (static_cast<long long>(i) + 1) * 100 / rows_;
        const long long before = static_cast<long long>(i) * 100 / rows_;
        if (now <= before) return true;
        return progress_(user_, static_cast<int>(now), 100) != 0;
    }

    // After rows first..last-1 finished together: the calls each row would
    // have made, in order.
    bool rows_done(int first, int last) const {
        for (int i = first; i < last; ++i) {
            if (!row_done(i)) return false;
        }
        return true;
    }

private:
    ProgressCallback progress_;
    std::intptr_t user_;
    int rows_;
};

}  // namespace qelvio::imaging
