#include "platform/registry/Registry.h"

void SetRegistryStorePath(const std::string&) {}

std::string RegistryStorePath() { return "HKEY_LOCAL_MACHINE"; }

std::string ChooseRegistryStorePath(const std::string&) { return RegistryStorePath(); }
