#include "app/application.h"

int main(int argc, char** argv) {
    return vistrel::RunApplication(argc, argv);
}
