// The floor of start-up: a plain C++ program that shows the game's main menu,
// the same bytes, and reads one number. The game's start-up time and memory
// are measured against this.
#include <iostream>

int main() {
    std::cout << "\x1b[4;500;1000t\x1b]0;Talvoren -- Build v0.1.0\x07\x1b[H\x1b[2J\x1b[3J"
              << "[1] New Game\n[2] Options\n[3] Credits\n[4] Load Game\n\n[99] Exit\n> " << std::flush;
    int choice = 0;
    std::cin >> choice;
    return 0;
}
