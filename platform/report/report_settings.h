#pragma once
// Settings of the report engine's output system, named as the engine names them.
#include <QFlags>

namespace velta {

enum class ReportDestination { rdPreview, rdPrinter, rdFile };

enum SetupPermission : unsigned {
  ssAllowSetup = 1u << 0,  // show the output-options dialog
  ssAllowCopies = 1u << 1,
  ssAllowCollate = 1u << 2,
  ssAllowDuplex = 1u << 3,
  ssAllowDestPreview = 1u << 4,
  ssAllowDestPrinter = 1u << 5,
  ssAllowDestFile = 1u << 6,
  ssAllowPrinterSetup = 1u << 7,
  ssAllowPreviewSetup = 1u << 8,
};
Q_DECLARE_FLAGS(SetupPermissions, SetupPermission)
Q_DECLARE_OPERATORS_FOR_FLAGS(SetupPermissions)
inline constexpr SetupPermissions kAllSetupPermissions = SetupPermissions::fromInt(0x1FF);

enum SystemOption : unsigned {
  soShowStatus = 1u << 0,
  soAllowPrintFromPreview = 1u << 1,
  soPreviewModal = 1u << 2,
};
Q_DECLARE_FLAGS(SystemOptions, SystemOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(SystemOptions)

}  // namespace velta
