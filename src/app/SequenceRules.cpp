#include "app/SequenceRules.h"

#include "app/Refusals.h"
#include "core/Format.h"
#include "core/Text.h"
#include "payload/Definition.h"

namespace cs {

UpgradeKind DecideUpgradeKind(bool compareVersions, const String& installedVersion, const String& thisVersion) {
    if (!compareVersions || IsBlank(installedVersion) || IsBlank(thisVersion)) return {1, 3};
    int order = CompareVersions(installedVersion, thisVersion);
    if (order == 0) return {1, 4};
    return order < 0 ? UpgradeKind{2, 5} : UpgradeKind{3, 6};
}

String UpgradeQuestionText(const String& kindText, const String& existingFolder, const String& questionText) {
    return kindText + u"\r\n" + existingFolder + u"\r\n\r\n" + questionText;
}

bool AskBeforeUpgrade(bool optionSet, const String& installedVersion, const String& upgradeWithoutAskingFrom) {
    if (!optionSet || installedVersion.IsEmpty()) return false;
    return upgradeWithoutAskingFrom.IsEmpty() || CompareVersions(installedVersion, upgradeWithoutAskingFrom) < 0;
}

bool IsRegistryReference(const String& text) {
    return StartsWithNoCase(text, u"HKLM\\") || StartsWithNoCase(text, u"HKCU\\");
}

bool ParseRegistryReference(const String& text, RegistryReference& out) {
    if (!IsRegistryReference(text)) return false;
    out.root = StartsWithNoCase(text, u"HKLM\\") ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
    String rest = text.Sub(5);
    size_t slash = rest.View().find_last_of(u'\\');
    out.key = slash == std::u16string_view::npos ? String() : rest.Sub(0, slash);
    out.value = slash == std::u16string_view::npos ? rest : rest.Sub(slash + 1);
    return !out.value.IsEmpty();
}

String DefaultInstallFolder(const String& commandLineFolder, const String& definitionFolder) {
    return commandLineFolder.IsEmpty() ? definitionFolder : commandLineFolder;
}

String RegistryPathMissingMessage(const String& reference) {
    return Format(u"Failed to obtain installation path from \"%s\"", reference);
}

String RegistryPathNotFoundMessage(const String& path, const String& reference) {
    return Format(u"Installation path \"%s\" obtained from \"%s\" does not exist.", path, reference);
}

String SharedFolderPath(const SharedFolderInputs& in) {
    if (!in.subfolder.IsEmpty() && !in.removableDrive) return JoinPath(in.installDir, in.subfolder);
    String base;
    switch (in.base) {
    case 1: base = in.systemFolder; break;
    case 2: base = in.commonFiles32; break;
    case 3: base = in.commonFiles64; break;
    default: base = in.product64 ? in.commonFiles64 : in.commonFiles32; break;
    }
    if (in.sharedName.IsEmpty()) return {};
    return JoinPath(base, in.sharedName);
}

std::vector<PlannedBatch> PreparationBatches(const BatchPlanInputs& in) {
    auto labelled = [&](uint32_t flag, const char16_t* label) { return (in.payloadFlags & flag) ? String(label) : String(); };
    std::vector<PlannedBatch> batches;
    batches.push_back({kBatchPreInstall, labelled(0x40, u"Pre-Installation Batch"),
                       (in.optionWord1 & kOpt1HidePreInstallBatch) != 0});
    if (in.upgradeKind == 2)
        batches.push_back({kBatchUpgrade, labelled(0x100, u"Upgrade Batch"), (in.optionWord2 & kOpt2HideUpgradeBatch) != 0});
    if ((in.existingInstallation && in.upgradeKind == 1) || !(in.payloadFlags & 0x1))
        batches.push_back({kBatchReinstall, labelled(0x200, u"Reinstall Batch"),
                           (in.optionWord2 & kOpt2HideReinstallBatch) != 0});
    return batches;
}

int EndOfRunUrlIndex(int installType) {
    switch (installType) {
    case 2: return kLinkUpgradeUrl;
    case 3: return kLinkDowngradeUrl;
    case 1: return kLinkReinstallUrl;
    default: return kLinkNewInstallUrl;
    }
}

String RestorePointDescription(const String& productName, const String& version) {
    String text = version.IsEmpty() ? productName : productName + u" " + version;
    return text.Length() > 255 ? text.Sub(0, 255) : text;
}

} // namespace cs
