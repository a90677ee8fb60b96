#include <gtest/gtest.h>

#include "platform/object_registry.h"

namespace {
struct Thing : velta::AutomationObject {
  int id = 7;
};
struct Other : velta::AutomationObject {};
}  // namespace

TEST(ObjectRegistry, CreatesANewObjectPerCall) {
  velta::ObjectRegistry reg;
  reg.registerClass(QStringLiteral("A.B"), [] { return std::make_shared<Thing>(); });
  auto a = reg.createAs<Thing>(QStringLiteral("A.B"));
  auto b = reg.createAs<Thing>(QStringLiteral("A.B"));
  EXPECT_EQ(a->id, 7);
  EXPECT_NE(a.get(), b.get());
}

TEST(ObjectRegistry, UnknownIdentifierAndMissingInterfaceFailWithTheirName) {
  velta::ObjectRegistry reg;
  reg.registerClass(QStringLiteral("A.B"), [] { return std::make_shared<Other>(); });
  try {
    reg.create(QStringLiteral("FaconSvr.FaconServer"));
    FAIL() << "no error";
  } catch (const velta::Error& e) {
    EXPECT_TRUE(e.text().contains(QStringLiteral("FaconSvr.FaconServer")));
  }
  EXPECT_THROW(reg.createAs<Thing>(QStringLiteral("A.B")), velta::Error);
  reg.unregisterClass(QStringLiteral("A.B"));
  EXPECT_THROW(reg.create(QStringLiteral("A.B")), velta::Error);
}
