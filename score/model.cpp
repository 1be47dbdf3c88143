// SPDX-License-Identifier: MIT
#include "score/model.h"

#include <cmath>

const skey key[14] = {
    {"-----|", 0, false}, {"   B |", 7, false}, {"---|", 6, true},   {"   A |", 6, false},
    {"---|", 5, true},    {"   G |", 5, false}, {"---|", 4, true},   {"   F |", 4, false},
    {"-----|", 0, false}, {"   E |", 3, false}, {"---|", 2, true},   {"   D |", 2, false},
    {"---|", 1, true},    {"   C |", 1, false},
};

const int ptk[14] = {13, 11, 9, 7, 5, 3, 1, 12, 10, 7, 6, 4, 2, -1};

int noterow(const smusic& m)
{
    if (m.pitch < 1 || m.pitch > 7)
        return -1;
    int64_t row = ptk[m.pitch - 1 + (m.rise ? 7 : 0)] + 14 * (6 - static_cast<int64_t>(m.heig));
    if (row < 0 || row >= ROWS)
        return -1;
    return static_cast<int>(row);
}

smusic rownote(int row)
{
    const skey& k = key[row % 14];
    return smusic{0, rowoctave(row), k.pitch, 1, k.rise};
}

stime ttrans(int time)
{
    int s = time / 10, h = 0, min = 0;
    if (s >= 3600) {
        h = s / 3600;
        s = s % 3600;
    }
    if (s >= 60) {
        min = s / 60;
        s = s % 60;
    }
    float tenths = static_cast<float>(time % 10) / 10.0f;
    return stime{h, min, static_cast<float>(s) + tenths};
}

int ttransb(int h, int min, float s)
{
    double whole = static_cast<double>(h) * 36000.0 + static_cast<double>(min) * 600.0;
    float sum = static_cast<float>(whole + static_cast<double>(s) * 10.0);
    if (!(sum > -2147483648.0f) || !(sum < 2147483648.0f))
        return sum > 0 ? 2147483647 : (sum < 0 ? -2147483647 - 1 : 0);
    return static_cast<int>(sum);
}

spgline fpgline(int leng, int uplo, int sleng, int pglleng)
{
    if (leng <= 0)
        return spgline{0, pglleng};
    int64_t s = static_cast<int64_t>(uplo) * pglleng / leng;
    int64_t e = (static_cast<int64_t>(uplo) + sleng) * pglleng / leng;
    return spgline{static_cast<int>(s), static_cast<int>(e)};
}

int ttenth(const stime& t)
{
    float x = t.s * 10.0f;
    return static_cast<int>(x) % 10;
}
