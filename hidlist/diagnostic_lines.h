// Quenvil's diagnostic lines on standard output (in Tavelin.log when the
// launcher runs without a console), as printf formats. Whoever reads those
// logs knows the lines by these texts, so each stays exactly as it is.
#pragma once

namespace hidlist {

// The set of present HID interfaces could not be opened: nothing is listed.
constexpr char SET_NOT_OPENED_LINE[] = "SetupDiGetClassDevs fail\n";

// The path of one interface could not be read; INTERFACE_SKIPPED_FORMAT
// follows with the interface's index, and the interface is left out.
constexpr char DETAIL_FAILED_LINE[] = "SetupDiGetDeviceInterfaceDetail fail\n";

// Its spelling ("Detasil") is relied upon: the line is matched as it has
// always been printed. Do not correct it.
constexpr char INTERFACE_SKIPPED_FORMAT[] = "getDetasil %d fail\n";

// A path longer than a record's two-byte length can announce (an unsigned
// long byte count): the path is left out.
constexpr char PATH_TOO_LONG_FORMAT[] = "device path of %lu bytes too long, skipped\n";

}  // namespace hidlist
