#pragma once
// The PLC item server as the program uses it (created by "FaconSvr.FaconServer").
// Every call is synchronous and raises velta::Error on failure; a link fault is not
// a failure of GetItem but shows as item "Update" = 0. UI thread only.
#include <QString>
#include <memory>

#include "platform/object_registry.h"
#include "platform/variant.h"

namespace velta {

class PlcItemServer : public AutomationObject {
 public:
  virtual void OpenProject(const QString& projectPath) = 0;
  virtual Variant GetItem(const QString& group, const QString& item) = 0;
  virtual void SetItem(const QString& group, const QString& item, const Variant& value) = 0;
};

// Implemented by an item server that numbers its link's sessions: the number changes
// every time the link comes up again after a gap (and is 0 before the first time), so
// readings kept from before a gap can be told from readings read after it. A server
// without it is taken as one long session; "Update" alone then tells the gaps.
class LinkSessions {
 public:
  virtual ~LinkSessions() = default;
  virtual quint64 linkSession() = 0;
};

inline constexpr const char* kPlcServerProgId = "FaconSvr.FaconServer";
inline constexpr const char* kItemGroup = "Channel0.Station0.Group0";

// The process-wide reference; empty until start-up creates the object.
using PlcServerRef = std::shared_ptr<PlcItemServer>;

// The object behind ref; a call while none exists fails like any server call.
PlcItemServer& requireServer(const PlcServerRef& ref);

}  // namespace velta
