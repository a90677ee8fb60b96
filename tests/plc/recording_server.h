#pragma once
// A PLC item server for tests: answers GetItem from a table of values (0 for an item not
// in it), fails on the items told to, and records every call in order, e.g.
// "Set System/Connect text \"1\"" or "Get M7".
#include <QString>
#include <QStringList>
#include <map>

#include "platform/error.h"
#include "platform/plc_item_server.h"

namespace velta::test {

class RecordingServer : public PlcItemServer {
 public:
  std::map<QString, Variant> values;  // by item name
  std::map<QString, QString> failing;  // item -> error text for a GetItem of it
  QStringList calls;
  QStringList* sharedLog = nullptr;  // also records here, to interleave with other events

  void OpenProject(const QString& path) override { record(QStringLiteral("Open ") + path); }

  Variant GetItem(const QString& group, const QString& item) override {
    record(QStringLiteral("Get ") + (group == QLatin1StringView(kItemGroup) ? item : group + u'/' + item));
    if (auto f = failing.find(item); f != failing.end()) throw Error(f->second);
    auto it = values.find(item);
    return it == values.end() ? Variant(0) : it->second;
  }

  void SetItem(const QString& group, const QString& item, const Variant& value) override {
    const QString where = group == QLatin1StringView(kItemGroup) ? item : group + u'/' + item;
    record(QStringLiteral("Set %1 %2").arg(where, value.describe()));
    if (group == QLatin1StringView(kItemGroup)) values[item] = value;
  }

 private:
  void record(const QString& c) {
    calls << c;
    if (sharedLog) *sharedLog << c;
  }
};

}  // namespace velta::test
