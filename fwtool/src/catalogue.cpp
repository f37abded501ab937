// The catalogue's menus and scripts, as data.
#include "catalogue.h"

namespace fwtool {

const char* const main_menu_title = "Welcome To The ORVEN Platform Firmware Test Tool\n Please Make Your Selection";
const char* const not_supported_text = "This test is not supported in this version of the software";

std::vector<std::string> category::menu() const {
  std::vector<std::string> entries{"Run All Tests"};
  for (const auto& c : cases) entries.push_back(c.text);
  entries.push_back("Exit");
  return entries;
}

const std::vector<std::string>& main_menu() {
  static const std::vector<std::string> entries{
      "Run All Tests",    "Base Test Cases",      "Various Topology Cases", "Bridges Request Resources",
      "ASPM L0s Cases",   "ASPM L1 Cases",        "Hot Plug Cases",         "Extended ROM Options",
      "Device Response Corner Cases", "Exit"};
  return entries;
}

namespace {

const category base{
    "Select A Base Test Case\nThese Test Cases Are Similar To The PCI Bios Test Cases",
    "/LegacyTestCases",
    {{"No Requests", "Case_2_1_Null.test"},
     {"Simple Requests", "Case_2_2_Simple.test"},
     {"Simple Requests With Gaps", "Case_2_3_Simple_Gaps.test"},
     {"Lots Of IO Requests", "Case_2_4_Lots_IO.test"},
     {"256b IO Requests", "Case_2_5_Lots_256b_IO.test"},
     {"256b Mem32 Requests", "Case_2_6_Lots_256b_Mem32.test"},
     {"Various Mem32 Requests", "Case_2_7_Various_Mem32.test"},
     {"Various Mem32 Prefetchable Requests", "Case_2_8_Various_Mem32_Prefetch.test"},
     {"Various IO 16 Bit Adress Requests", "Case_2_9_Various_IO_Lower16_Address.test"},
     {"Mem64 Request", "Case_2_10_Mem64.test"},
     {"Mem64 Prefetchable Request", "Case_2_11_Mem64_Prefetch.test"},
     {"1 GB Mem32 Requests", "Case_2_12_4_1GB_Mem32.test"},
     {"Lots Large IO Requests", "Case_2_13_Lots_Large_IO.test"},
     {"Lots Mem32 and No Requests", "Case_2_14_Lots_Mem32_and_No_Requests.test"},
     {"1 GB Mem32 and Various Mem32 Requests", "Case_2_15_Lots_1G_Mem32_and_Various_Mem32.test"},
     {"Simple 0 Runtime  ROM", ""},
     {"1 Zero and One Non-Zero Runtime ROM", ""},
     {"1 Zero and One Non-Zero Runtime ROM", ""},
     {"2 Non-Zero Runtime ROMs", ""},
     {"2 34 kb Init and Runtime ROMs", ""},
     {"1 34 kb Runtime 1 5 kb Runtime ROM", ""},
     {"1 34 kb Runtime 1 5 kb Runtime ROM", ""},
     {"First ROM 0kb Runtime", ""},
     {"Second ROM 0kb Runtime", ""},
     {"Different Runtime Size ROMs", ""}}};

const category topology{
    "Select A Topolgy Test Case\n",
    "/FunctionTopologyCases",
    {{"Maximum Topology No Requests", "Case_1_1_Max_Topology_No_Requests.test"},
     {"Maximum Topology Various Requests", "Case_1_2_Max_Topology_Various_Requests.test"},
     {"9 Port Switch No Requests", "Case_3_1_Nine_Port_Switch_No_Requests.test"},
     {"9 Port Switch Various Requests", "Case_3_2_Nine_Port_Switch_Various_Requests.test"},
     {"8 Function Device Various Requests", "Case_3_8_Eight_Function_Device_Various_Requests.test"},
     {"8 Function Mixed Types No Requests", "Case_3_9_Eight_Function_Type0_Type1_No_Requests.test"},
     {"8 Function Mixed Types Various Requests", "Case_3_10_Eight_Function_Type0_Type1_Various_Requests.test"},
     {"5 Levels Switch No Requests", "Case_3_11_Five_Levels_Switch_No_Requests.test"}}};

const category bridges{
    "Select A Case Where Bridges Make Resource Requests\n",
    "/BridgesWithRequests",
    {{"Bridge Requests IO", "Case_3_3_Bridge_With_IO.test"},
     {"Bridge Requests Mem32", "Case_3_4_Bridge_With_Mem32.test"},
     {"Bridge Requests Mem64", "Case_3_5_Bridge_With_Mem64.test"},
     {"Bridge With ROM", "Case_3_6_Bridge_With_ROM.test"},
     {"Multiple Bridges Various Requests", "Case_3_7_Multiple_Bridges_Various_Requests.test"}}};

const category aspm_l0s{
    "Select An ASPM L0s Test Case\n",
    "/ASPM_L0s",
    {{"ASPM L0s Single Device Mismatch", "Case_8_1_ASPM_LOS_Single_Device_Mismatch.test"},
     {"ASPM L0s Multiple Functions Single Mismatch", "Case_8_2_ASPM_LOS_Multiple_Functions_Single_Mismatch.test"},
     {"ASPM L0s 1 Switch and 1 Device Mismatch", "Case_8_3_ASPM_LOS_One_Device_One_Switch_Mismatch.test"},
     {"ASPM L0s 5 Levels of Switches With Mismatch", "Case_8_4_ASPM_LOS_Five_Level_Switch_Mismatch.test"}}};

const category aspm_l1{
    "Select An ASPM L1 Test Case\n",
    "/ASPM_L1",
    {{"ASPM L1 Single Device Mismatch", "Case_9_1_ASPM_L1_Single_Device_Mismatch.test"},
     {"ASPM L1 Multiple Functions Single Mismatch", "Case_9_2_ASPM_L1_Multiple_Functions_Single_Mismatch.test"},
     {"ASPM L1 1 Switch and 1 Device Mismatch", "Case_9_3_ASPM_L1_One_Device_One_Switch_Mismatch.test"},
     {"ASPM L1 5 Levels of Switches With Mismatch", "Case_9_4_ASPM_L1_Five_Level_Switch_Mismatch.test"},
     {"ASPM L1 Two Switch Delays", "Case_9_5_ASPM_L1_Two_Switch_Delays.test"},
     {"ASPM L1 Four Switch Delays", "Case_9_6_ASPM_L1_Four_Switch_Delays.test"}}};

const category corner{
    "Select A Device Response Corner Test Case\n",
    "/BorderlineDeviceResponses",
    {{"Worst Case Device Response Time", "Case_10_Worst_Case_Device_Response_Time.test"},
     {"Configuration Retry On First Response", "Case_12_Configuration_Retry.test"},
     {"Non Responsive Device", "Case_13_Non_Responsive_Device.test"},
     {"Completely Non Responsive Test Card", "Case_13B_Non_Responsive_Device.test"}},
    true};

}  // namespace

const category& category_of(main_entry entry) {
  switch (entry) {
    case main_topology: return topology;
    case main_bridges: return bridges;
    case main_aspm_l0s: return aspm_l0s;
    case main_aspm_l1: return aspm_l1;
    case main_corner: return corner;
    default: return base;
  }
}

}  // namespace fwtool
