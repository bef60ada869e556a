#include "runtime/InstallerState.h"

namespace cs {

DefinitionInputs InputsOf(const CommandLine& commandLine) {
    DefinitionInputs inputs;
    inputs.automatic = commandLine.automatic;
    inputs.silent = commandLine.silent;
    inputs.productName = commandLine.productName;
    for (int i = 0; i < 3; ++i)
        inputs.batchAdditions[i] = commandLine.batchAdditions[i];
    return inputs;
}

InstallerState& Installer() {
    static InstallerState state;
    return state;
}

} // namespace cs
