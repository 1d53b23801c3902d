#include <iostream>
#include <string>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--version") {
            std::cout << "kp70ctl " << KP70_VERSION_TEXT << "\n";
            return 0;
        }
    }
    std::cout << "kp70ctl: printer maintenance from the command line\n";
    return 0;
}
