#include "shell/ClipwellApp.h"

int main(int argc, char** argv)
{
    return ClipwellApp::run(argc, argv);
}
