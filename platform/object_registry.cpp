#include "platform/object_registry.h"

namespace velta {

void ObjectRegistry::registerClass(const QString& progId, Factory factory) {
  factories_[progId] = std::move(factory);
}

void ObjectRegistry::unregisterClass(const QString& progId) { factories_.erase(progId); }

std::shared_ptr<AutomationObject> ObjectRegistry::create(const QString& progId) const {
  auto it = factories_.find(progId);
  if (it == factories_.end())
    throw Error(QStringLiteral("Invalid class string \"%1\"").arg(progId));
  auto obj = it->second();
  if (!obj) throw Error(QStringLiteral("Cannot create object \"%1\"").arg(progId));
  return obj;
}

}  // namespace velta
