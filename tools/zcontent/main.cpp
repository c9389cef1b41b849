#include "lib/zcontent_command.h"

int main(int argc, char** argv) {
    return zolt::tools::run_zcontent(argc, argv);
}
