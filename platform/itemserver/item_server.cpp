#include "platform/itemserver/item_server.h"
#include "platform/station_log.h"

#include <cmath>
#include <cstdio>

#include "platform/error.h"
#include "platform/itemserver/simulator_driver.h"
#include "platform/itemserver/wire_driver.h"

namespace velta {

namespace {

const SystemSteadyClock kSystemSteady;
const SystemClock kSystemWall;

bool sameName(const QString& a, const char* b) {
  return a.compare(QLatin1StringView(b), Qt::CaseInsensitive) == 0;
}

// A written value as a whole number; Error names the item when it is none.
qint64 wholeNumber(const QString& item, const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Int: return v.asInt();
    case Variant::Type::Bool: return v.asBool() ? 1 : 0;
    case Variant::Type::Double:
      if (v.asDouble() == std::floor(v.asDouble()) && std::abs(v.asDouble()) < 1e15)
        return static_cast<qint64>(v.asDouble());
      break;
    case Variant::Type::Text: {
      bool ok = false;
      const qint64 n = v.asText().trimmed().toLongLong(&ok);
      if (ok) return n;
      break;
    }
    default: break;
  }
  throw Error(QStringLiteral("Item \"%1\" cannot take the value %2").arg(item, v.describe()));
}

}  // namespace

std::unique_ptr<ItemDriver> makeItemDriver(const ServerProject& project,
                                           const ItemServerEnvironment& env) {
  if (project.driver == u"simulator") {
    auto log = env.log ? env.log : [](const QString& line) { LogLine(line); };
    return std::make_unique<SimulatorDriver>(project, env.steady ? *env.steady : kSystemSteady,
                                             env.wall ? *env.wall : kSystemWall, log);
  }
  if (project.driver == u"modbus-tcp" || project.driver == u"modbus-rtu" ||
      project.driver == u"native-tcp" || project.driver == u"native-serial")
    return makeWireDriver(project, env.steady ? *env.steady : kSystemSteady, env.wall);
  throw Error(QStringLiteral("PLC server project \"%1\": unknown driver \"%2\"")
                  .arg(project.fileName, project.driver));
}

ItemServer::ItemServer(ItemServerEnvironment env) : env_(std::move(env)) {}

ItemServer::~ItemServer() = default;

void ItemServer::OpenProject(const QString& projectPath) {
  const ServerProject project = readServerProject(env_.drives.toHost(projectPath));
  std::vector<DriverItem> items;
  QHash<QString, std::size_t> index;
  for (const auto& [name, address] : project.items) {
    index.insert(name, items.size());
    items.push_back({name, address});
  }
  auto driver = makeItemDriver(project, env_);
  driver->start(items);
  // Only a project that opened replaces the one before.
  driver_ = std::move(driver);
  items_ = std::move(items);
  index_ = std::move(index);
}

ItemDriver& ItemServer::openDriver() const {
  if (!driver_) throw Error(QStringLiteral("PLC item server: no project is open"));
  return *driver_;
}

std::size_t ItemServer::itemIndex(const QString& group, const QString& item) const {
  auto it = index_.constFind(item);
  if (it == index_.constEnd()) it = index_.constFind(item.toUpper());
  if (it == index_.constEnd())
    throw Error(QStringLiteral("Unknown item \"%1\" in group \"%2\"").arg(item, group));
  return *it;
}

Variant ItemServer::GetItem(const QString& group, const QString& item) {
  if (!driver_) {
    // No project open (missing or broken file): a link that is down, nothing known.
    if (sameName(group, kItemGroup)) return sameName(item, "UpdateTime") ? Variant(QString()) : Variant(0);
    if (sameName(group, "System") && sameName(item, "Connect")) return Variant(0);
  }
  ItemDriver& d = openDriver();
  if (sameName(group, kItemGroup)) {
    if (sameName(item, "Update")) return Variant(d.link().up ? 1 : 0);
    if (sameName(item, "UpdateTime")) {
      const QDateTime t = d.link().lastGoodRefresh;
      return Variant(t.isValid() ? t.toString(QStringLiteral("hh:mm:ss.zzz")) : QString());
    }
    return Variant(d.value(itemIndex(group, item)));
  }
  if (sameName(group, "System")) {
    if (sameName(item, "Connect")) return Variant(d.link().up ? 1 : 0);
    throw Error(QStringLiteral("Unknown item \"%1\" in group \"%2\"").arg(item, group));
  }
  throw Error(QStringLiteral("Unknown item group \"%1\"").arg(group));
}

quint64 ItemServer::linkSession() { return driver_ ? driver_->link().session : 0; }

void ItemServer::SetItem(const QString& group, const QString& item, const Variant& value) {
  // No project open: there is no link to ask for and no PLC to write to.
  if (!driver_ && (sameName(group, kItemGroup) || (sameName(group, "System") && sameName(item, "Connect"))))
    return;
  ItemDriver& d = openDriver();
  if (sameName(group, kItemGroup)) {
    if (sameName(item, "Update") || sameName(item, "UpdateTime"))
      throw Error(QStringLiteral("Item \"%1\" in group \"%2\" is read-only").arg(item, group));
    const std::size_t i = itemIndex(group, item);
    const qint64 n = wholeNumber(item, value);
    if (items_[i].address.area == PlcAddress::Area::Coil) {
      if (n != 0 && n != 1)
        throw Error(QStringLiteral("Bit item \"%1\" cannot take the value %2").arg(item, value.describe()));
      d.write(i, n);
    } else {
      if (n < -32768 || n > 65535)
        throw Error(QStringLiteral("Register item \"%1\" cannot take the value %2").arg(item, value.describe()));
      d.write(i, n & 0xFFFF);
    }
    return;
  }
  if (sameName(group, "System")) {
    if (!sameName(item, "Connect"))
      throw Error(QStringLiteral("Unknown item \"%1\" in group \"%2\"").arg(item, group));
    const qint64 n = wholeNumber(item, value);
    if (n == 1) d.connect();
    else if (n == 0) d.disconnect();
    else throw Error(QStringLiteral("Item \"%1\" cannot take the value %2").arg(item, value.describe()));
    return;
  }
  throw Error(QStringLiteral("Unknown item group \"%1\"").arg(group));
}

void registerItemServer(ObjectRegistry& registry, ItemServerEnvironment env) {
  registry.registerClass(QString::fromLatin1(kPlcServerProgId),
                         [env] { return std::make_shared<ItemServer>(env); });
}

void registerItemServer(ObjectRegistry& registry, const DriveMap& drives) {
  registerItemServer(registry, ItemServerEnvironment{drives, nullptr, nullptr, {}});
}

}  // namespace velta
