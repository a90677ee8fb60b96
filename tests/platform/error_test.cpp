#include <gtest/gtest.h>

#include "platform/error.h"

TEST(ErrorDisplay, AppendsAFullStopAfterCharactersAboveIt) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Table1: Cannot perform this operation on a closed dataset",
       "Table1: Cannot perform this operation on a closed dataset."},
      {"Done.", "Done."},                 // full stop itself: nothing added
      {"Question?", "Question?."},        // '?' is above '.'
      {"Path \"x\"", "Path \"x\""},        // '"' is below '.'
      {"(a)", "(a)"},                      // ')' is below '.'
      {"value -", "value -"},              // '-' is below '.'
      {"ends in slash/", "ends in slash/."},
      {"", ""},
      {"KAYIT ŞEÇ ", "KAYIT ŞEÇ "},        // blank is below '.'
      {"YOK", "YOK."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(velta::errorDisplayText(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}
