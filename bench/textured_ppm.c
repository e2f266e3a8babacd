/* Writes a binary PPM of W x H to stdout: smooth value noise in three
   octaves per channel plus fine grain, like a photograph's texture.
   Usage: textured_ppm W H > out.ppm (used by the region benchmarks). */
#include <stdio.h>
#include <stdlib.h>
static unsigned hash(unsigned x, unsigned y, unsigned c) {
    unsigned h = x * 374761393u + y * 668265263u + c * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}
static double lattice(double x, double y, unsigned c, int cell) {
    unsigned gx = (unsigned)(x / cell), gy = (unsigned)(y / cell);
    double fx = x / cell - gx, fy = y / cell - gy;
    fx = fx * fx * (3 - 2 * fx), fy = fy * fy * (3 - 2 * fy);
    double a = hash(gx, gy, c) & 255, b = hash(gx + 1, gy, c) & 255;
    double d = hash(gx, gy + 1, c) & 255, e = hash(gx + 1, gy + 1, c) & 255;
    return (a + (b - a) * fx) * (1 - fy) + (d + (e - d) * fx) * fy;
}
int main(int argc, char** argv) {
    int w = atoi(argv[1]), h = atoi(argv[2]);
    printf("P6\n%d %d\n255\n", w, h);
    unsigned char* row = malloc((size_t)w * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            for (unsigned c = 0; c < 3; ++c) {
                double v = 0.55 * lattice(x, y, c, 700) + 0.3 * lattice(x, y, c + 3, 90) +
                           0.15 * lattice(x, y, c + 6, 12) + (double)(hash(x, y, c + 9) % 17) - 8;
                row[x * 3 + c] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        fwrite(row, 3, (size_t)w, stdout);
    }
    return 0;
}
