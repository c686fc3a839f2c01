// The floor a kort job is measured against: the empty C++ program, built
// with g++ -O2 and nothing else (bench/CMakeLists.txt).
int main() { return 0; }
