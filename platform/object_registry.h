#pragma once
// Creates automation objects by program identifier, as the component-object runtime
// does: "FaconSvr.FaconServer" gives the PLC item server, "Excel.Application" the
// spreadsheet application. Tests register fakes. UI thread only.
#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "platform/error.h"

namespace velta {

// Base of every object the registry hands out; released by dropping the last reference.
class AutomationObject {
 public:
  virtual ~AutomationObject() = default;
};

class ObjectRegistry {
 public:
  using Factory = std::function<std::shared_ptr<AutomationObject>()>;

  // Replaces an earlier registration of the same identifier.
  void registerClass(const QString& progId, Factory factory);
  void unregisterClass(const QString& progId);

  // A new object; throws Error naming the identifier when none is registered
  // or when the factory fails.
  std::shared_ptr<AutomationObject> create(const QString& progId) const;

  // A new object asked for interface I; throws Error when it does not offer it.
  template <class I>
  std::shared_ptr<I> createAs(const QString& progId) const {
    auto obj = create(progId);
    auto iface = std::dynamic_pointer_cast<I>(obj);
    if (!iface) throw Error(QStringLiteral("Interface not supported by \"%1\"").arg(progId));
    return iface;
  }

 private:
  std::map<QString, Factory> factories_;
};

}  // namespace velta
