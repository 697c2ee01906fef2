#include "rules/random.h"

#include <mutex>
#include <random>

namespace zeph {

uint32_t RandomBelow(uint32_t bound) {
    static std::mutex mutex;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard lock(mutex);
    return std::uniform_int_distribution<uint32_t>(0, bound - 1)(generator);
}

}  // namespace zeph
