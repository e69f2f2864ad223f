#include "sim/fault_set.h"

#include <charconv>

namespace kv218::sim {

namespace {

const FaultInfo* Lookup(const std::string& name) {
  for (const FaultInfo& info : kFaultCatalogue) {
    if (name == info.name) return &info;
  }
  return nullptr;
}

std::string KnownNames() {
  std::string names;
  for (const FaultInfo& info : kFaultCatalogue) {
    if (!names.empty()) names += ", ";
    names += info.name;
  }
  return names;
}

// A pause longer than a minute would only outlast every time-out of the host.
constexpr std::uint32_t kMostReplyPauseMs = 60000;

bool ParseNumber(const std::string& text, std::uint32_t& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return !text.empty() && ec == std::errc() && ptr == end;
}

// Command letters as they follow the lead byte: printable, no blanks, a handful at most.
bool ValidCommand(const std::string& letters) {
  if (letters.empty() || letters.size() > 4) return false;
  for (char c : letters) {
    if (c <= ' ' || c > '~') return false;
  }
  return true;
}

}  // namespace

bool FaultSet::Add(const std::string& text, std::string& error) {
  const std::size_t equals = text.find('=');
  const std::string name = text.substr(0, equals);
  const bool hasValue = equals != std::string::npos;
  const std::string value = hasValue ? text.substr(equals + 1) : std::string();
  const FaultInfo* info = Lookup(name);
  if (info == nullptr) {
    error = "unknown fault '" + text + "' (known: " + KnownNames() + ")";
    return false;
  }
  const std::string usage =
      std::string(info->name) + (info->value != nullptr ? std::string("=") + info->value : "");
  auto bad = [&](const char* why) {
    error = "fault '" + text + "': " + why + " (usage: " + usage + ")";
    return false;
  };
  const bool optional = info->value != nullptr && info->value[0] == '[';
  if (info->value == nullptr && hasValue) return bad("takes no value");
  if (info->value != nullptr && !optional && (!hasValue || value.empty())) {
    return bad("needs a value");
  }

  Fault fault{info->kind, {}, 0};
  switch (info->kind) {
    case FaultKind::SilentAt: {
      const std::size_t hash = value.find('#');
      fault.command = value.substr(0, hash);
      fault.number = 1;
      if (hash != std::string::npos &&
          (!ParseNumber(value.substr(hash + 1), fault.number) || fault.number == 0)) {
        return bad("the occurrence after '#' must be a number from 1");
      }
      if (!ValidCommand(fault.command)) return bad("needs the command's letters");
      break;
    }
    case FaultKind::ShortReply:
    case FaultKind::NoiseBeforeReply:
      if (hasValue && !ValidCommand(value)) return bad("needs the command's letters");
      fault.command = value;
      break;
    case FaultKind::EraseCounter:
      if (!ParseNumber(value, fault.number)) return bad("needs a number from 0 to 4294967295");
      break;
    case FaultKind::HangupMidTransfer:
      fault.number = 3;
      if (hasValue && (!ParseNumber(value, fault.number) || fault.number == 0)) {
        return bad("needs a block number from 1");
      }
      break;
    case FaultKind::PauseInReply:
      fault.number = kDefaultReplyPauseMs;
      if (hasValue && (!ParseNumber(value, fault.number) || fault.number == 0 ||
                       fault.number > kMostReplyPauseMs)) {
        return bad("needs milliseconds from 1 to 60000");
      }
      break;
    default:
      break;
  }
  faults_.push_back(fault);
  return true;
}

std::optional<FaultSet> FaultSet::Parse(const std::vector<std::string>& texts, std::string& error) {
  FaultSet set;
  for (const std::string& text : texts) {
    if (!set.Add(text, error)) return std::nullopt;
  }
  return set;
}

const Fault* FaultSet::Find(FaultKind kind) const {
  for (const Fault& fault : faults_) {
    if (fault.kind == kind) return &fault;
  }
  return nullptr;
}

std::string FaultSet::Help() {
  std::string help;
  for (const FaultInfo& info : kFaultCatalogue) {
    help += "  ";
    help += info.name;
    if (info.value != nullptr) {
      help += info.value[0] == '[' ? "" : "=";
      help += info.value[0] == '[' ? std::string("[=") + (info.value + 1) : info.value;
    }
    help += ": ";
    help += info.effect;
    help += "\n";
  }
  return help;
}

}  // namespace kv218::sim
