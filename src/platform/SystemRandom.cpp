#include "platform/SystemRandom.h"

#include <QRandomGenerator>

int32_t SystemRandom::nextKey() {
    return static_cast<int32_t>(QRandomGenerator::global()->bounded(1u, 2147483648u));
}
