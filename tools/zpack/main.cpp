#include "lib/zpack_command.h"

int main(int argc, char** argv) {
    return zolt::tools::run_zpack(argc, argv);
}
