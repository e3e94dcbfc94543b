#pragma once
#include "base/RandomSource.h"

// Random keys 1..2147483647, each with equal chance.
class SystemRandom : public RandomSource {
public:
    int32_t nextKey() override;
};
