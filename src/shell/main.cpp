// The program's entry (replaced by the run shell).
#include <cstdio>

int main() {
    std::puts("trelvo " TRELVO_VERSION);
    return 0;
}
