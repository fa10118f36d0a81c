// The floor of `talvoren --version`: the C++ hello-world that prints the same
// line and ends.
#include <iostream>

int main() {
    std::cout << "talvoren 0.1.0\n";
    return 0;
}
