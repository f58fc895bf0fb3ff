// Writes the sample data folder: sampledata <folder>.
#include "tools/sampledata/sampledata.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sampledata <folder>\n");
        return 2;
    }
    if (!SampleDataWrite(argv[1])) {
        std::fprintf(stderr, "sampledata: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
