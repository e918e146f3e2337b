#include "cli/cli.h"

int main(int argc, char** argv) {
    return vistrel::cli::RunCli(argc, argv);
}
