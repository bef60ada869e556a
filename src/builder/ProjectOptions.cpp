#include "builder/ProjectOptions.h"

#include "payload/Definition.h"

#include <cstring>

namespace cs {

namespace {
constexpr OptionWord W1 = OptionWord::Word1;
constexpr OptionWord W2 = OptionWord::Word2;
constexpr OptionWord PF = OptionWord::PayloadFlags;
} // namespace

const NamedOption kNamedOptions[] = {
    // Option word 1.
    {"uninstall_old_first", W1, kOpt1UninstallOldFirst, false,
     "an installed copy is uninstalled before this one installs (unless it is at or above "
     "reinstall_in_place_from)"},
    {"start_menu_uninstaller", W1, kOpt1StartMenuUninstaller, true,
     "a Start Menu shortcut to the uninstaller"},
    {"register_uninstaller", W1, kOpt1RegisterUninstaller, true,
     "write the uninstaller, its registry entry and Uninstall.dat; look for an installed copy"},
    {"custom_dialog_colors", W1, kOpt1DialogColors, false,
     "the pages use dialog_background and dialog_text (set by giving either)"},
    {"compress_files", W1, kOpt1CompressedData, true, "xz-compress the file data chunks"},
    {"keep_install_log", W1, kOpt1KeepInstallLog, true, "write Install.log even when nothing failed"},
    {"folder_page", W1, kOpt1FolderPage, true, "show the installation folder page"},
    {"single_instance", W1, kOpt1SingleInstance, false,
     "refuse to run while another installer runs (exit code 8)"},
    {"automatic_uninstall", W1, kOpt1AutomaticUninstall, false, "the uninstaller asks no questions"},
    {"delete_install_folder", W1, kOpt1DeleteInstallFolder, false,
     "the uninstaller deletes the whole installation folder tree"},
    {"replace_files_in_use", W1, kOpt1ReplaceInUse, false,
     "a new file that is in use is replaced at the next restart even when it did not exist before"},
    {"add_to_path", W1, kOpt1AddToPath, false, "add add_to_path_subfolder to the system search path"},
    {"reboot_required", W1, kOpt1RebootRequired, false, "always ask for a restart at the end"},
    {"save_background_picture", W1, kOpt1BackgroundPicture, false,
     "keep the background picture for the uninstaller's window"},
    {"add_on", W1, kOpt1AddOn, false, "an add-on that needs the main product of install.master (set by it)"},
    {"clear_attributes_on_retry", W1, kOpt1ClearAttributesOnRetry, false,
     "when a file cannot be written, clear the read-only, hidden and system attributes and retry"},
    {"log_every_file", W1, kOpt1LogEveryFile, true, "log a line for every installed file and shortcut"},
    {"no_completion_message", W1, kOpt1NoCompletionMessage, false,
     "no message when the installation succeeded"},
    {"hide_pre_install_batch", W1, kOpt1HidePreInstallBatch, true, "run the pre-installation batch hidden"},
    {"hide_post_install_batch", W1, kOpt1HidePostInstallBatch, true,
     "run the post-installation batch hidden"},
    {"hide_install_exit_batch", W1, kOpt1HideExitBatch, true, "run the installation-exit batch hidden"},
    {"hide_uninstall_batch1", W1, kOpt1HideUninstallBatch1, true, "run the first uninstall batch hidden"},
    {"hide_uninstall_batch2", W1, kOpt1HideUninstallBatch2, true, "run the second uninstall batch hidden"},
    {"no_upgrade_question", W1, kOpt1NoUpgradeQuestion, false,
     "install over an existing copy without asking"},
    {"no_background_window", W1, kOpt1NoBackgroundWindow, false,
     "no full-screen background window behind the wizard"},
    {"confirm_folder", W1, kOpt1ConfirmFolder, false, "ask before installing into the chosen folder"},
    // Option word 2.
    {"product_64bit_registry", W2, kOpt2Product64Bit, false,
     "registry entries go to the 64-bit view (also for the uninstaller)"},
    {"desktop_uninstaller", W2, kOpt2DesktopUninstaller, false, "a desktop shortcut to the uninstaller"},
    {"start_menu_page", W2, kOpt2StartMenuPage, true, "show the Start Menu folder page"},
    {"uninstall_errors_when_automatic", W2, kOpt2ErrorsWhenAutomatic, false,
     "the uninstaller shows its error messages even in automatic mode"},
    {"compare_versions", W2, kOpt2CompareVersions, true,
     "tell the user whether the installed copy is older, the same or newer"},
    {"no_network_folder", W2, kOpt2NoNetworkFolder, false, "refuse installation folders on network paths"},
    {"uninstaller_in_data_folder", W2, kOpt2UninstallerInDataFolder, false,
     "a shortcut to the uninstaller in the uninstall data folder"},
    {"ask_before_restart", W2, kOpt2AskBeforeRestart, false, "ask before a restart even in unattended runs"},
    {"no_greeting", W2, kOpt2NoGreeting, false, "skip the greeting page"},
    {"ask_before_upgrade", W2, kOpt2AskBeforeUpgrade, false,
     "ask before upgrading a copy below upgrade_without_asking_from"},
    {"restart_after_uninstall", W2, kOpt2RestartAfterUninstall, false,
     "restart Windows after the uninstallation"},
    {"save_readmes", W2, kOpt2SaveReadmes, false, "save the readme texts into the installation folder"},
    {"save_licences", W2, kOpt2SaveLicences, false, "save the licence texts into the installation folder"},
    {"hide_file_names", W2, kOpt2HideFileNames, false, "the progress line does not show file names"},
    {"loosen_folder_security", W2, kOpt2LoosenSecurity, false,
     "give Everyone full access to the installation and Start Menu folders"},
    {"progress_page", W2, kOpt2ProgressPage, true, "show the progress page"},
    {"reboot_marker", W2, kOpt2RebootMarker, false,
     "write reboot.dat into the installation folder until the next restart"},
    {"keep_log_on_uninstall", W2, kOpt2KeepLogOnUninstall, false, "the uninstaller keeps Install.log"},
    {"desktop_folder_by_name", W2, kOpt2DesktopFolderByName, false,
     "an empty desktop_folder takes the product name"},
    {"log_shortcut", W2, kOpt2LogShortcut, false, "a Start Menu shortcut to Install.log"},
    {"hide_upgrade_batch", W2, kOpt2HideUpgradeBatch, true, "run the upgrade batch hidden"},
    {"hide_reinstall_batch", W2, kOpt2HideReinstallBatch, true, "run the reinstall batch hidden"},
    {"loosen_shared_folder_security", W2, kOpt2LoosenSharedFolder, false,
     "with loosen_folder_security, also the shared folder"},
    // Payload flags.
    {"reinstall_batch_only_on_reinstall", PF, 0x1, false,
     "the reinstall batch runs only when the same version is installed again"},
    {"restore_point", PF, 0x2, false, "make a system restore point around the installation"},
    {"uninstaller_without_payload", PF, 0x20, false,
     "the uninstaller is the engine without the installation data (smaller)"},
    {"log_pre_install_batch", PF, 0x40, false, "copy the pre-installation batch's output into the log"},
    {"log_post_install_batch", PF, 0x80, false, "copy the post-installation batch's output into the log"},
    {"log_upgrade_batch", PF, 0x100, false, "copy the upgrade batch's output into the log"},
    {"log_reinstall_batch", PF, 0x200, false, "copy the reinstall batch's output into the log"},
    {"removable_drive_restrictions", PF, 0x800, false,
     "on a removable drive: no Start Menu page and only shortcuts marked always"},
    {"encrypt", PF, 0x1000, false, "encrypt the definition and the file data with Blowfish"},
    {"skip_registry_on_removable_drive", PF, 0x8000, false, "no registry changes on a removable drive"},
    {"skip_associations_on_removable_drive", PF, 0x20000, false, "no file associations on a removable drive"},
    {"uninstall_complete_message", PF, 0x40000, false, "the uninstaller says when it has finished"},
    {"skip_firewall_on_removable_drive", PF, 0x80000, false, "no firewall exceptions on a removable drive"},
    {"launch_directly", PF, kFlagLaunchDirectly, false,
     "start the product at the end directly instead of through the desktop shell"},
    {"uninstaller_in_install_folder", PF, 0x200000, false,
     "a shortcut to the uninstaller in the installation folder"},
    {"show_disk_space", PF, 0x400000, true, "the folder page shows the space required and available"},
    {"custom_edit_colors", PF, kFlagEditColors, false,
     "edit fields use edit_background and edit_text (set by them)"},
    {"custom_buttons", PF, kFlagButtonColors, false,
     "the buttons use button_face, button_text and button_border (set by them)"},
    {"custom_list_colors", PF, kFlagListColors, false,
     "the language list uses the list_* colours (set by them)"},
    {"custom_document_colors", PF, kFlagDocumentColors, false,
     "licence and readme documents use document_background and document_text (set by them)"},
    {"custom_wizard_colors", PF, kFlagWizardColors, false,
     "the side panel uses panel_background and panel_text (set by them)"},
    {nullptr, W1, 0, false, nullptr},
};

const NamedOption* FindNamedOption(const char* name) {
    for (const NamedOption* o = kNamedOptions; o->name; ++o)
        if (std::strcmp(o->name, name) == 0) return o;
    return nullptr;
}

} // namespace cs
