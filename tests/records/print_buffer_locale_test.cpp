// The print buffer filled with the system's own regional settings, run by ctest under
// several locales (LANG/LC_ALL in tests/records/CMakeLists.txt): every locale stores
// the serial number's day and time and the values as the panel shows them.
#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>

#include "platform/error.h"
#include "platform/fakes/scripted_dialogs.h"
#include "records/print_buffer.h"
#include "../support/temp_station.h"

using namespace velta;

namespace {

TEST(PrintBufferOnTheSystemLocale, StoresTheSerialNumbersDayAndTime) {
  const QString expected = qEnvironmentVariable("VELTA_EXPECT_LOCALE");
  if (!expected.isEmpty()) {
    ASSERT_EQ(QLocale::system().name(), expected) << "the locale did not take effect";
  }
  const RegionalSettings regional = RegionalSettings::fromSystem();

  test::OpenTempDir root;
  ASSERT_TRUE(QDir().mkpath(root.path() + QStringLiteral("/D/rododezuz/sistem")));
  const DriveMap drives{root.path()};
  Dataset table2(QStringLiteral("Table2"));
  table2.setRegional(regional);
  table2.setFieldDefs(PrintBufferFields());
  FormState form;
  ScriptedDialogs dialogs;
  form.setText(ctl::Edit6, QStringLiteral("T09032026K1405V"));
  for (int e = ctl::Edit9; e <= ctl::Edit24; ++e)
    form.setText(e, QStringLiteral("6") + regional.decimalSeparator + QStringLiteral("025"));
  ASSERT_NO_THROW(PreparePrintBuffer({table2, form, dialogs, drives}));
  table2.close();

  Dataset check(QStringLiteral("Check"));
  check.setTableName(root.path() + QStringLiteral("/D/rododezuz/sistem/Print.db"));
  check.open();
  ASSERT_EQ(check.recordCount(), 1);
  const auto r = check.recordAt(0);
  EXPECT_EQ(r[0].toString(), QStringLiteral("T09032026K1405V"));
  EXPECT_EQ(r[1].toDate(), QDate(2026, 3, 9));
  EXPECT_EQ(r[2].toTime(), QTime(14, 5));
  for (std::size_t f = 4; f < r.size(); ++f) EXPECT_DOUBLE_EQ(r[f].toDouble(), 6.025) << f;
}

}  // namespace
