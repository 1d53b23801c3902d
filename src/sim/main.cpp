#include <iostream>

int main() {
    std::cout << "kp70sim\n";
    return 0;
}
