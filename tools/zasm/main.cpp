#include "lib/zasm_command.h"

int main(int argc, char** argv) {
    return zolt::tools::run_zasm(argc, argv);
}
