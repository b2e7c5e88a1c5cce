#pragma once
// What the status server tells of the options the exhibit runs with: every option
// that shapes what visitors and operators see, with the value in effect whether it
// was typed, left at its default or implied (--unattended under a service manager),
// and the options given for tests as typed; and which of its parts are fitted at all.

#include <string>
#include <utility>
#include <vector>

#include "monitoring/StatusFormats.h"
#include "shell/ExhibitOptions.h"

namespace velmora {

// `given`: the options on the command line, as ParseCommandLine lists them.
std::vector<monitoring::OptionInEffect> OptionsInEffect(
    const ExhibitOptions& options, const std::vector<std::pair<std::string, std::string>>& given);

monitoring::FittedParts FittedPartsOf(const ExhibitOptions& options);

// The usage statistics' file the options choose; empty for none (off, or no home folder).
std::string UsageDatabaseOf(const ExhibitOptions& options);

}  // namespace velmora
