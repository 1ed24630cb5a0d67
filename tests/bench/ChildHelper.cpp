// A child for the child-process tests:
//   child_helper exit N          exits with N
//   child_helper alloc MB        touches MB mebibytes, then exits 0
//   child_helper env NAME VALUE  exits 0 when NAME is set to VALUE, else 1
//   child_helper noenv NAME      exits 0 when NAME is not set, else 1
//   child_helper sleep MS        sleeps, then exits 0
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    if (mode == "exit") return std::atoi(argv[2]);
    if (mode == "alloc") {
        std::vector<char> block(static_cast<size_t>(std::atoi(argv[2])) << 20);
        std::memset(block.data(), 1, block.size());
        volatile char sink = block[block.size() / 2];
        (void)sink;
        return 0;
    }
    if (mode == "env" && argc == 4) {
        const char* v = std::getenv(argv[2]);
        return v && std::string(v) == argv[3] ? 0 : 1;
    }
    if (mode == "noenv") return std::getenv(argv[2]) ? 1 : 0;
    if (mode == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
        return 0;
    }
    return 2;
}
