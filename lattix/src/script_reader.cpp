// Statement-by-statement reading of a topology script into records.
#include "script_reader.h"

#include <bit>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "lattix/config_space.h"
#include "script_cursor.h"

namespace lattix_script {

void appendMessage(std::string& messages, const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  messages += line;
}

namespace {

// A word from the script as a message may show it: bytes outside printable ASCII become
// "\xNN", so garbage in a script cannot reach the terminal as control sequences.
std::string printable(const std::string& word) {
  std::string text;
  for (const unsigned char c : word) {
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

// Stops of the "%255[^. \n]" fields.
constexpr const char* kWordStops = ". \t\n";

struct namedKind {
  const char* word;
  int kind;
};

constexpr namedKind kBarCommands[] = {{"Bar1", kBar1}, {"Bar2", kBar2}, {"Bar3", kBar3},
                                      {"Bar4", kBar4}, {"Bar5", kBar5}, {"Bar6", kBar6},
                                      {"OptionRomBar", kOptionRomBar}};
constexpr namedKind kIdCommands[] = {
    {"VENDORID", kVendorId}, {"DEVICEID", kDeviceId}, {"REVISIONID", kRevisionId}};
constexpr namedKind kCapabilityCommands[] = {
    {"MSI_32", kMsi32},
    {"MSI_64", kMsi64},
    {"addDeviceSerialNumCap", kSerialNumber},
    {"POWER_BUDGETING", kPowerBudget},
    {"POW", kPowerBudget},
    {"ADVANCED_ERROR_REPORTING", kAdvancedErrorReporting},
    {"ADV_ERR", kAdvancedErrorReporting},
    {"VIRTUAL_CHANNEL", kVirtualChannel},
    {"VIR_CHA", kVirtualChannel}};
constexpr namedKind kValueCommands[] = {{"L0S_EXIT_LATENCY", kL0sExitLatency},
                                        {"L1_EXIT_LATENCY", kL1ExitLatency},
                                        {"ACCEPTABLE_L0S_LATENCY", kL0sAcceptableLatency},
                                        {"ACCEPTABLE_L1_LATENCY", kL1AcceptableLatency},
                                        {"ASPM_CONTROL", kAspmControl},
                                        {"NoResponse", kNoResponse},
                                        {"MemoryEnable", kMemoryEnable},
                                        {"IOEnable", kIoEnable}};
constexpr const char* kDeviceTypeNames[] = {
    "PCIExpressEndPoint",
    "PCIExpressLegacyEndPoint",
    "PCIExpressUpstreamSwitchPort",
    "PCIExpressDownstreamSwitchPort",
    "PCIExpressDownstreamSwitchPortSlot",
    "PCIExpressDownstreamSwitchPortHotPlugSlot",
    "PCIExpressSwitch",
    "PCIExpressSwitchSlots",
    "PCIExpressSwitchHotPlugSlots"};
constexpr const char* kAttributeNames[] = {"RO", "RW", "RWS", "HWINIT", "RW1C", "RW1CS"};

template <size_t N>
int findKind(const namedKind (&table)[N], const std::string& word) {
  for (const namedKind& entry : table)
    if (equalsIgnoreCase(word, entry.word)) return entry.kind;
  return 0;
}

bool isBridgeType(int type) { return type >= kUpstreamSwitchPort && type <= kSwitchHotPlugSlots; }

class statementReader {
 public:
  statementReader(const std::string& text, scriptModel& model, std::string& messages,
                  std::string& warnings)
      : cursor_(text), model_(model), messages_(messages), warnings_(warnings) {}

  bool readAll() {
    while (true) {
      cursor_.skipWhitespace();
      if (cursor_.atEnd()) return true;
      if (!readStatement()) return false;
    }
  }

 private:
  bool readStatement() {
    std::string word;
    cursor_.field(word, kWordStops);
    if (word.empty() || word[0] == '#' || word[0] == ';') {
      cursor_.skipLine();
      return true;
    }
    command_ = word;
    if (equalsIgnoreCase(word, "[Device")) return readSection();
    if (equalsIgnoreCase(word, "DeviceType")) return readDeviceType();
    if (equalsIgnoreCase(word, "NumberPorts")) return readNumberPorts();
    if (equalsIgnoreCase(word, "PORTNUMBER")) return readPortNumber();
    if (equalsIgnoreCase(word, "Bridge")) return readBridge();
    if (equalsIgnoreCase(word, "REG")) return readRegister();
    if (int kind = findKind(kBarCommands, word)) return readBar(kind);
    if (int kind = findKind(kIdCommands, word)) return readId(kind);
    if (int kind = findKind(kCapabilityCommands, word)) return readCapability(kind);
    if (int kind = findKind(kValueCommands, word)) return readValue(kind);
    appendMessage(messages_, "Unknown command: %s\n", printable(word).c_str());
    return false;
  }

  // A statement whose text does not have the expected form.
  bool invalid() {
    appendMessage(messages_, "Invalid %s statement on line %d\n", command_.c_str(),
                  cursor_.lineNumber());
    return false;
  }

  // Something odd that the statement is read past: one warning line, parsing goes on. A
  // script full of them gets the first kMaxWarnings and a note.
  static constexpr int kMaxWarnings = 100;
  __attribute__((format(printf, 2, 3))) void warn(const char* format, ...) {
    if (++warningCount_ > kMaxWarnings) {
      if (warningCount_ == kMaxWarnings + 1)
        appendMessage(warnings_, "Warning: more than %d warnings; the rest are not shown\n",
                      kMaxWarnings);
      return;
    }
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    appendMessage(warnings_, "Warning: line %d: %s\n", cursor_.lineNumber(), text);
  }

  bool noModifierTarget() {
    appendMessage(messages_, "Unable to find/create Modifier Data Structure!\n");
    return false;
  }

  bool noSection() {
    appendMessage(messages_, "%s statement on line %d comes before any [Device] section\n",
                  command_.c_str(), cursor_.lineNumber());
    return false;
  }

  functionRecord* current() {
    if (device_ < 0) return nullptr;
    return model_.devices[device_].findFunction(function_);
  }

  // " = " and a word up to '.', blank or line end.
  bool readAssignedWord(std::string& out) {
    return cursor_.literal(" = ") && cursor_.field(out, kWordStops);
  }

  // " = 0x" and hexadecimal digits; whatever follows the digits is the next statement.
  bool readHexNumber(uint32_t& out, bool& wide) {
    if (!cursor_.literal(" = ") || !cursor_.literal("0")) return false;
    if (!cursor_.literal("x") && !cursor_.literal("X")) return false;
    return cursor_.hexDigits(out, wide);
  }

  // A hexadecimal number cut to the width of the field it goes to, as a 16-bit
  // conversion followed by the register's width cuts it.
  bool readHexField(uint32_t limit, uint32_t& out) {
    bool wide = false;
    if (!readHexNumber(out, wide)) return false;
    if (wide || out > limit) {
      out &= limit;
      warn("%s value does not fit in %d bits; cut to 0x%X", command_.c_str(),
           std::popcount(limit), out);
    }
    return true;
  }

  modifier& modifierFor(functionRecord& fn, int kind) {
    if (kind != kRegister)
      for (modifier& m : fn.modifiers)
        if (m.kind == kind) return m;
    modifier added;
    added.kind = kind;
    if (kind == kOptionRomBar || (kind >= kBar2 && kind <= kBar6) || kind == kBar1)
      added.bar.flags[1] = 1;  // memory until a type says otherwise
    fn.modifiers.push_back(added);
    return fn.modifiers.back();
  }

  bool readSection() {
    int deviceNumber = 0;
    int functionNumber = 0;
    if (!cursor_.decimal(deviceNumber) || !cursor_.literal(" Function") ||
        !cursor_.decimal(functionNumber) || !cursor_.literal("]"))
      return invalid();
    if (deviceNumber >= BASE_SWITCH_DEVICE_NUMBER) {
      appendMessage(messages_, "Device number specified (%d) is in the reserved region.\n",
                    deviceNumber);
      appendMessage(messages_, "Script-specified device numbers must be below %d.\n",
                    BASE_SWITCH_DEVICE_NUMBER);
      appendMessage(messages_, "This can be changed by redefining BASE_SWITCH_DEVICE_NUMBER.\n");
      return false;
    }
    if (deviceNumber < 0) {
      appendMessage(messages_, "Device number specified (%d) is invalid\n", deviceNumber);
      return false;
    }
    if (functionNumber < 0 || functionNumber > 7) {
      appendMessage(messages_, "Function number specified (%d) is invalid\n", functionNumber);
      return false;
    }
    int index = model_.findDevice(deviceNumber);
    if (index < 0) {
      deviceRecord record;
      record.scriptNumber = deviceNumber;
      model_.devices.push_back(record);
      index = static_cast<int>(model_.devices.size()) - 1;
    }
    deviceRecord& record = model_.devices[index];
    if (!record.findFunction(functionNumber)) {
      functionRecord fn;
      fn.function = static_cast<uint8_t>(functionNumber);
      record.functions.push_back(fn);
    }
    device_ = index;
    function_ = functionNumber;
    return true;
  }

  bool readDeviceType() {
    functionRecord* fn = current();
    if (!fn) return noModifierTarget();
    std::string name;
    if (!readAssignedWord(name)) return invalid();
    if (name == "Device") return cloneFunction(*fn);
    for (size_t i = 0; i < std::size(kDeviceTypeNames); ++i) {
      if (equalsIgnoreCase(name, kDeviceTypeNames[i])) {
        fn->type = static_cast<int>(i) + 1;
        if (isBridgeType(fn->type)) fn->bridge = true;
        return true;
      }
    }
    appendMessage(messages_, "Unknown device type: %s\n", printable(name).c_str());
    return false;
  }

  bool cloneFunction(functionRecord& target) {
    int sourceDevice = 0;
    int sourceFunction = 0;
    if (!cursor_.decimal(sourceDevice) || !cursor_.literal(" Function") ||
        !cursor_.decimal(sourceFunction))
      return invalid();
    cursor_.literal(" ");
    if (sourceFunction < 0 || sourceFunction > 7) {
      appendMessage(messages_, "Function number specified (%d) is invalid\n", sourceFunction);
      return false;
    }
    const int index = model_.findDevice(sourceDevice);
    functionRecord* source = index < 0 ? nullptr : model_.devices[index].findFunction(sourceFunction);
    if (!source) {
      appendMessage(messages_, "Unable to clone data to Device %d Function %d\n",
                    model_.devices[device_].scriptNumber, function_);
      return false;
    }
    if (source == &target) return true;
    const functionRecord copy = *source;  // the target's list may grow below
    target.bridge = copy.bridge;
    target.type = copy.type;
    target.portNumber = copy.portNumber;
    for (const modifier& m : copy.modifiers) modifierFor(target, m.kind) = m;
    return true;
  }

  bool readNumberPorts() {
    int count = 0;
    if (!cursor_.literal(" =") || !cursor_.decimal(count)) return invalid();
    functionRecord* fn = current();
    if (!fn) return noSection();
    if (fn->type != kSwitch && fn->type != kSwitchSlots && fn->type != kSwitchHotPlugSlots)
      return true;
    if (count < 0 || count > kMaxDownstreamDevices ||
        nextPort_ + count - 1 > kMaxScriptDeviceNumber) {
      appendMessage(messages_, "NumberPorts value %d on line %d is out of range (0 to %d)\n", count,
                    cursor_.lineNumber(), kMaxDownstreamDevices);
      return false;
    }
    const int portType = fn->type == kSwitch       ? kDownstreamSwitchPort
                         : fn->type == kSwitchSlots ? kDownstreamSwitchPortSlot
                                                    : kDownstreamSwitchPortHotPlugSlot;
    uint32_t vendor = 0;
    uint32_t deviceId = 0;
    for (const modifier& m : fn->modifiers) {
      if (m.kind == kVendorId) vendor = m.value;
      if (m.kind == kDeviceId) deviceId = m.value;
    }
    const int switchDevice = device_;
    for (int i = 0; i < count; ++i) {
      deviceRecord port;
      port.scriptNumber = nextPort_ + i;
      functionRecord portFunction;
      portFunction.function = 0;
      portFunction.bridge = true;
      portFunction.type = portType;
      portFunction.portNumber = i + 2;
      for (int kind : {kMemoryEnable, kIoEnable}) {
        modifier m;
        m.kind = kind;
        m.value = 1;
        portFunction.modifiers.push_back(m);
      }
      modifier vendorModifier;
      vendorModifier.kind = kVendorId;
      vendorModifier.value = vendor;
      portFunction.modifiers.push_back(vendorModifier);
      modifier deviceModifier;
      deviceModifier.kind = kDeviceId;
      deviceModifier.value = deviceId;
      portFunction.modifiers.push_back(deviceModifier);
      port.functions.push_back(portFunction);
      model_.devices.push_back(port);
      model_.devices[switchDevice].findFunction(function_)->downstream.push_back(nextPort_ + i);
    }
    functionRecord* switchFunction = model_.devices[switchDevice].findFunction(function_);
    switchFunction->type = kUpstreamSwitchPort;
    switchFunction->portNumber = 1;
    nextPort_ += count;
    return true;
  }

  bool readPortNumber() {
    int port = 0;
    if (!cursor_.literal(" =") || !cursor_.decimal(port)) return invalid();
    functionRecord* fn = current();
    if (!fn) return noModifierTarget();
    fn->portNumber = port;
    return true;
  }

  // A list of "%d," entries; ends at the first entry that is not a number.
  void readDeviceList(std::vector<int>* target) {
    while (true) {
      int number = 0;
      if (!cursor_.decimal(number)) return;
      if (target) target->push_back(number);
      if (!cursor_.literal(",")) return;
    }
  }

  bool readBridge() {
    if (cursor_.peek() == '.') {
      int port = 0;
      if (!cursor_.literal(".") || !cursor_.decimal(port) || !cursor_.literal(" = "))
        return invalid();
      functionRecord* fn = current();
      if (!fn) return noSection();
      functionRecord* portFunction = nullptr;
      for (int below : fn->downstream) {
        const int index = model_.findDevice(below);
        functionRecord* f0 = index < 0 ? nullptr : model_.devices[index].findFunction(0);
        if (f0 && f0->portNumber == port) {
          portFunction = f0;
          break;
        }
      }
      // A port that does not exist takes nothing; that is not an error.
      readDeviceList(portFunction ? &portFunction->downstream : nullptr);
      return true;
    }
    if (!cursor_.literal(" = ")) return invalid();
    functionRecord* fn = current();
    if (!fn) return noSection();
    fn->bridge = true;
    readDeviceList(&fn->downstream);
    return true;
  }

  bool readBarSize(modifier& m) {
    std::string text;
    if (!cursor_.literal(" = ") || !cursor_.token(text)) return false;
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    if (digits == 0) return false;
    const std::string unit = text.substr(digits);
    uint64_t scale = 1;
    if (unit.empty())
      scale = 1;
    else if (equalsIgnoreCase(unit, "kb"))
      scale = 1ull << 10;
    else if (equalsIgnoreCase(unit, "mb"))
      scale = 1ull << 20;
    else if (equalsIgnoreCase(unit, "gb"))
      scale = 1ull << 30;
    else
      return false;
    if (digits > 10) return false;
    const uint64_t size = std::stoull(text.substr(0, digits)) * scale;
    if (size > 0xFFFFFFFFull) return false;  // BAR sizes are 32-bit values
    const int width = m.bar.flags[0] ? 64 : 32;
    m.bar.size = size == 0 ? 0 : width - std::countr_zero(static_cast<uint32_t>(size));
    return true;
  }

  bool readBar(int kind) {
    functionRecord* fn = current();
    if (!fn) return noModifierTarget();
    modifier& m = modifierFor(*fn, kind);
    std::string key;
    if (!cursor_.literal(". ") || !cursor_.field(key, kWordStops)) return invalid();
    std::string value;
    if (equalsIgnoreCase(key, "size")) {
      if (!readBarSize(m)) return invalid();
      return true;
    }
    const bool known = equalsIgnoreCase(key, "type") || equalsIgnoreCase(key, "prefetchable") ||
                       equalsIgnoreCase(key, "upper16") || equalsIgnoreCase(key, "IgnoreOverlap");
    if (!known) return true;  // the statement ends; the rest is read as the next one
    if (!readAssignedWord(value)) return invalid();
    if (kind == kOptionRomBar) return true;  // only the size counts for a ROM BAR
    if (equalsIgnoreCase(key, "type")) {
      m.bar.flags[0] = equalsIgnoreCase(value, "mem32") || equalsIgnoreCase(value, "IO") ? 0 : 1;
      m.bar.flags[1] = equalsIgnoreCase(value, "IO") ? 0 : 1;
    } else if (equalsIgnoreCase(key, "prefetchable") || equalsIgnoreCase(key, "IgnoreOverlap")) {
      if (value != "0" && value != "1") {
        warn("%s.%s value \"%s\" is neither 0 nor 1 and has no effect", command_.c_str(),
             key.c_str(), value.c_str());
      } else if (equalsIgnoreCase(key, "prefetchable")) {
        if (value == "1")
          m.bar.low |= 0x8;
        else
          m.bar.low &= ~0x8u;
      } else {
        m.bar.flags[2] = value == "1" ? 1 : 0;
      }
    }
    return true;
  }

  bool readId(int kind) {
    functionRecord* fn = current();
    if (!fn) return noModifierTarget();
    uint32_t value = 0;
    if (!readHexField(kind == kRevisionId ? 0xFF : 0xFFFF, value)) return invalid();
    modifierFor(*fn, kind).value = value;
    return true;
  }

  bool readCapability(int kind) {
    functionRecord* fn = current();
    if (!fn) return noModifierTarget();
    modifier& m = modifierFor(*fn, kind);
    std::string key;
    if (!cursor_.literal(". ") || !cursor_.field(key, kWordStops)) return invalid();
    if (equalsIgnoreCase(key, "present")) {
      // The statement creates the capability whatever the value says.
      std::string value;
      if (!readAssignedWord(value)) return invalid();
      if (value != "0" && value != "1")
        warn("%s.present value \"%s\" is neither 0 nor 1 and has no effect", command_.c_str(),
             value.c_str());
    } else if (equalsIgnoreCase(key, "offset")) {
      uint32_t offset = 0;
      if (!readHexField(0xFFFF, offset)) return invalid();
      m.value = offset;
    } else if (equalsIgnoreCase(key, "nextcap")) {
      uint32_t ignored = 0;
      bool wide = false;
      if (!readHexNumber(ignored, wide)) return invalid();
    }
    return true;
  }

  bool readValue(int kind) {
    functionRecord* fn = current();
    if (!fn) return noModifierTarget();
    std::string text;
    if (!readAssignedWord(text)) return invalid();
    int value = 0;
    if (kind == kNoResponse || kind == kMemoryEnable || kind == kIoEnable) {
      const bool enable = kind != kNoResponse;
      if (text != "0" && text != "1" && !(enable && text == "2")) {
        warn("%s value \"%s\" is not %s and has no effect", command_.c_str(), text.c_str(),
             enable ? "0, 1 or 2" : "0 or 1");
        return true;
      }
      value = text == "0" ? 0 : 1;
    } else {
      bool whole = false;
      if (!leadingDecimal(text, value, whole)) {
        warn("%s value \"%s\" is not a number and has no effect", command_.c_str(),
             text.c_str());
        return true;
      }
      if (!whole) warn("%s value \"%s\" read as %d", command_.c_str(), text.c_str(), value);
    }
    modifierFor(*fn, kind).value = static_cast<uint32_t>(value);
    return true;
  }

  // A mask that does not read as a hexadecimal number leaves the whole register masked.
  void readMask(const std::string& text, uint32_t& mask) {
    uint32_t value = 0;
    bool wide = false;
    const size_t first = text.find_first_not_of(" \t");
    if (!leadingHex(text, value, wide)) {
      warn("REG mask \"%s\" is not a hexadecimal number; the mask stays FFFFFFFF",
           text.c_str() + first);
      return;
    }
    if (wide) warn("REG mask does not fit in 32 bits; cut to %08X", value);
    mask = value;
  }

  bool readRegister() {
    functionRecord* fn = current();
    if (!fn) return noModifierTarget();
    std::string offsetText, widthText, which, word;
    uint32_t offset = 0;
    int width = 0;
    if (!cursor_.literal(".") || !cursor_.field(offsetText, kWordStops) ||
        !parseHex(offsetText, offset) || !cursor_.literal(".") ||
        !cursor_.field(widthText, kWordStops) || !parseDecimal(widthText, width) ||
        !cursor_.literal(".") || !cursor_.field(which, kWordStops) || !readAssignedWord(word))
      return invalid();
    // Compared without adding to the offset, which may be as large as 0xFFFFFFFF.
    const uint32_t bytes = static_cast<uint32_t>(width / 8);
    if ((width != 8 && width != 16 && width != 32) || offset > configSpace::kSize - bytes)
      return invalid();
    const bool isDefault = equalsIgnoreCase(which, "default");
    if (!isDefault && !equalsIgnoreCase(which, "characteristic")) return invalid();
    // The optional mask: the rest of the statement up to '.' or the line end.
    uint32_t mask = 0xFFFFFFFFu;
    std::string maskText;
    if (cursor_.field(maskText, ".\n") && maskText.find_first_not_of(" \t") != std::string::npos)
      readMask(maskText, mask);
    modifier m;
    m.kind = kRegister;
    m.value = offset;
    m.width = width;
    m.isDefault = isDefault;
    m.mask = mask;
    if (isDefault) {
      bool wide = false;
      if (!leadingHex(word, m.registerValue, wide)) return invalid();
      uint32_t whole = 0;
      if (!parseHex(word, whole))
        warn("REG default value \"%s\" read as %X", word.c_str(), m.registerValue);
      if (mask == 0) {
        appendMessage(messages_,
                      "REG default on line %d has a mask of 0 and cannot be applied\n",
                      cursor_.lineNumber());
        return false;
      }
    } else {
      for (size_t i = 0; i < std::size(kAttributeNames); ++i)
        if (word == kAttributeNames[i]) m.attribute = static_cast<int>(i);
    }
    fn->modifiers.push_back(m);
    return true;
  }

  scriptCursor cursor_;
  scriptModel& model_;
  std::string& messages_;
  std::string& warnings_;
  int warningCount_ = 0;
  std::string command_;
  int device_ = -1;
  int function_ = 0;
  int nextPort_ = BASE_SWITCH_DEVICE_NUMBER;
};

}  // namespace

bool readScript(const std::string& text, scriptModel& model, std::string& messages,
                std::string& warnings) {
  statementReader reader(text, model, messages, warnings);
  return reader.readAll();
}

}  // namespace lattix_script
