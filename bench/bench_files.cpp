// SPDX-License-Identifier: MIT
// Saving and opening a score of 1,000,000 notes, beside plainly writing and
// reading the same number of bytes.
//   bench_files [FOLDER] [NOTES] [ROUNDS]
// FOLDER defaults to the working folder; the files are removed afterwards.
#include "score/ring.h"
#include "editor/editor.h"
#include "files/files.h"
#include "score/pvx.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

// The editor state the benchmark drives.
static seditor te;

namespace {

double now()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The plain reference: one file written with one write and flushed to disk,
// as a save must be, and read back with one read.
bool plainwrite(const std::string& p, const std::string& b, bool sync)
{
    int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < b.size()) {
        ssize_t w = write(fd, b.data() + done, b.size() - done);
        if (w <= 0)
            return false;
        done += static_cast<size_t>(w);
    }
    if (sync && fsync(fd) != 0)
        return false;
    return close(fd) == 0;
}

bool plainread(const std::string& p, std::string& b)
{
    int fd = open(p.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    b.resize(static_cast<size_t>(lseek(fd, 0, SEEK_END)));
    size_t done = 0;
    while (done < b.size()) {
        ssize_t r = pread(fd, b.data() + done, b.size() - done, static_cast<off_t>(done));
        if (r <= 0)
            return false;
        done += static_cast<size_t>(r);
    }
    return close(fd) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir = argc > 1 ? argv[1] : ".";
    int notes = argc > 2 ? std::atoi(argv[2]) : 1000000;
    int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (notes < 0 || notes > MAXCOL / 3 || rounds < 1) {
        std::fprintf(stderr, "bench_files: bad arguments\n");
        return 2;
    }
    const std::string score = dir + "/bench_files.pvx", plain = dir + "/bench_files.raw";

    // A melody of `notes` notes of 1 or 2 steps with gaps, cursor at its end.
    std::vector<smusic> q;
    q.reserve(static_cast<size_t>(notes) + 1);
    int t = 0;
    for (int i = 0; i < notes; i++) {
        q.push_back(smusic{t, 1 + i % 6, 1 + i % 7, 1 + i % 2, i % 5 == 0});
        t += 3;
    }
    q.push_back(SENTINEL);
    te.doc.music.assign(q);
    te.view.mousex = t;
    te.doc.musicleng = t;
    const std::string image = scorebytes(te.doc, te.view);
    std::printf("score: %d notes, %zu bytes, %d rounds, folder %s\n", notes, image.size(), rounds, dir.c_str());

    std::vector<double> save, open, wsync, wnosync, rd, enc, dec;
    for (int r = 0; r < rounds; r++) {
        double a = now();
        if (savescore(te.doc, te.view, score) != fileres::done) {
            std::fprintf(stderr, "bench_files: save failed\n");
            return 1;
        }
        double b = now();
        te.doc.filesaved = true;
        if (openscore(te.doc, score).res != fileres::done || te.doc.music.size() != q.size()) {
            std::fprintf(stderr, "bench_files: open failed\n");
            return 1;
        }
        double c = now();
        save.push_back(b - a);
        open.push_back(c - b);

        a = now();
        plainwrite(plain, image, true);
        b = now();
        plainwrite(plain, image, false);
        c = now();
        std::string back;
        plainread(plain, back);
        double d = now();
        wsync.push_back(b - a);
        wnosync.push_back(c - b);
        rd.push_back(d - c);

        a = now();
        std::string bytes = scorebytes(te.doc, te.view);
        b = now();
        pvxscore s;
        pvxread(bytes, s);
        c = now();
        enc.push_back(b - a);
        dec.push_back(c - b);
    }
    unlink(score.c_str());
    unlink(plain.c_str());

    double sv = median(save), op = median(open), ws = median(wsync), rr = median(rd);
    std::printf("save  (build image, temp file, fsync, rename, folder fsync): %8.1f ms\n", sv);
    std::printf("plain write + fsync of the same bytes:                       %8.1f ms  (save %.2fx)\n", ws,
                sv / ws);
    std::printf("plain write without fsync:                                   %8.1f ms\n", median(wnosync));
    std::printf("open  (read file, decode and check, load the ring):          %8.1f ms\n", op);
    std::printf("plain read of the same bytes:                                %8.1f ms  (open %.2fx)\n", rr,
                op / rr);
    std::printf("  of which encode %.1f ms, decode %.1f ms\n", median(enc), median(dec));
    return 0;
}
