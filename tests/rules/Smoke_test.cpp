#include <gtest/gtest.h>

#include "Models.h"

TEST(ParamSet, StartsEmpty) {
  TParamSet P;
  EXPECT_EQ(P.MCUModel, TMCUModel::NOT_VALID);
  EXPECT_EQ(static_cast<int>(TMCUModel::STM32F030F4P6), 8);
}
