// SPDX-License-Identifier: GPL-3.0-or-later
// The controls' identifiers: each widget's object name, by which layouts name their controls
// and tests find them. One namespace a window; the numbers are the dialogs' own.
#pragma once

namespace parvolink::ids {

// The buttons that end a dialog.
inline constexpr const char* kOk = "1";
inline constexpr const char* kCancel = "2";

namespace mainwindow {
inline constexpr const char* kDialog = "102";
inline constexpr const char* kDeviceList = "1000";
inline constexpr const char* kDiscover = "1001";
inline constexpr const char* kAdd = "1002";
inline constexpr const char* kModify = "1003";
inline constexpr const char* kRemove = "1004";
inline constexpr const char* kDeviceGroup = "1006";
inline constexpr const char* kConfiguration = "1007";
inline constexpr const char* kUpgrade = "1008";
inline constexpr const char* kSubnet = "1016";
inline constexpr const char* kSubnetMask = "1017";
inline constexpr const char* kLan = "1044";
inline constexpr const char* kAbout = "16";  // the window menu's entries
// The menu's own rule takes every id whose low four bits cleared give 16 for About.
inline constexpr const char* kExportDeviceList = "32";
}  // namespace mainwindow

namespace about {
inline constexpr const char* kDialog = "100";
}  // namespace about

namespace account {
inline constexpr const char* kDialog = "130";
inline constexpr const char* kAddress = "1009";
inline constexpr const char* kPassword = "1011";
inline constexpr const char* kAccount = "1012";
}  // namespace account

namespace upgrade {
inline constexpr const char* kDialog = "132";
inline constexpr const char* kUpgradeNow = "1008";
inline constexpr const char* kBrowse = "1032";
inline constexpr const char* kFileName = "1012";
inline constexpr const char* kFileInformation = "1013";
inline constexpr const char* kProgressDialog = "133";
inline constexpr const char* kProgressBar = "1034";
}  // namespace upgrade

namespace configuration {
inline constexpr const char* kDialog = "131";
inline constexpr const char* kReset = "3";
inline constexpr const char* kSnmpv3 = "4";
inline constexpr const char* kSystemContact = "1012";
inline constexpr const char* kNetbiosName = "1013";
inline constexpr const char* kSystemLocation = "1014";
inline constexpr const char* kTimeServer1 = "1015";
inline constexpr const char* kSubnetMask = "1016";
inline constexpr const char* kGateway = "1017";
inline constexpr const char* kDns = "1018";
inline constexpr const char* kDhcpEnable = "1019";
inline constexpr const char* kDhcpDisable = "1020";
inline constexpr const char* kHttpEnable = "1021";
inline constexpr const char* kHttpDisable = "1022";
inline constexpr const char* kTelnetEnable = "1023";
inline constexpr const char* kTelnetDisable = "1024";
inline constexpr const char* kHttpPort = "1025";
inline constexpr const char* kTelnetPort = "1026";
inline constexpr const char* kSntp = "1027";
inline constexpr const char* kManualTime = "1028";
inline constexpr const char* kIpAddress = "1029";
inline constexpr const char* kTimeServer2 = "1030";
inline constexpr const char* kDate = "1031";
inline constexpr const char* kTime = "1032";
inline constexpr const char* kAdministratorInLan = "1033";
inline constexpr const char* kAdministratorAny = "1034";
inline constexpr const char* kManagerInLan = "1035";
inline constexpr const char* kManagerAny = "1037";
inline constexpr const char* kReadOnlyInLan = "1038";
inline constexpr const char* kReadOnlyAny = "1039";
inline constexpr const char* kTimeZone = "1036";
inline constexpr const char* kFirstTimeHint = "1040";
inline constexpr const char* kReadOnlyLabel = "1041";
inline constexpr const char* kManagerLabel = "1042";
}  // namespace configuration

namespace usm {
inline constexpr const char* kDialog = "135";
inline constexpr const char* kSubmitKey = "1";      // "&Submit Key"
inline constexpr const char* kUpdateContext = "2";  // "&Update Context Name"
inline constexpr const char* kReset = "1062";
inline constexpr const char* kIndex = "1082";
inline constexpr const char* kUserName = "1051";
inline constexpr const char* kLevel = "1052";
inline constexpr const char* kAuthPassword = "1053";
inline constexpr const char* kPrivPassword = "1050";
inline constexpr const char* kContextName = "1012";
}  // namespace usm

}  // namespace parvolink::ids
