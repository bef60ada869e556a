// The engine's definition reader: the stream walk of DefinitionFields.h over a ByteReader,
// with the defaults and derived values applied right after their fields.
#include "payload/DefinitionReader.h"

#include "core/Text.h"
#include "payload/DefinitionFields.h"
#include "payload/DefinitionStream.h"

namespace cs {

namespace {

// "X:..." or "\..." (which covers UNC paths).
bool IsAbsolutePath(const String& path) {
    if (path.Length() >= 2 && path[1] == u':') return true;
    return !path.IsEmpty() && path[0] == u'\\';
}

String JoinPath(const String& folder, const String& name) {
    if (folder.IsEmpty()) return name;
    String result = folder;
    while (!result.IsEmpty() && result.Last() == u'\\')
        result.Truncate(result.Length() - 1);
    size_t start = 0;
    while (start < name.Length() && name[start] == u'\\')
        ++start;
    result += u'\\';
    result.Append(name.c_str() + start, name.Length() - start);
    return result;
}

void ReplaceAllNoCase(String& text, const String& what, const String& with) {
    size_t at = 0;
    while ((at = FindNoCase(text, what, at)) != String::npos) {
        text.Erase(at, what.Length());
        text.Insert(at, with);
        at += with.Length();
    }
}

class ReadIo {
  public:
    static constexpr bool kReading = true;

    ReadIo(ByteReader& in, const DefinitionEnvironment& env, DefinitionState& state)
        : in_(in), env_(env), state_(state), d_(state.definition) {}

    void OptionWords(uint32_t& word1, uint32_t& word2) {
        word1 = in_.U32();
        word2 = in_.U32();
    }
    void U8(const char*, uint8_t& v) { v = in_.U8(); }
    void U16(const char*, uint16_t& v) { v = in_.U16(); }
    void U32(const char*, uint32_t& v) { v = in_.U32(); }
    void I32(const char*, int32_t& v) { v = in_.I32(); }
    void U64(const char*, uint64_t& v) { v = in_.U64(); }
    void Color(const char*, uint32_t& v) { v = in_.U32(); }
    void F64(const char*, double& v) { v = in_.F64(); }
    void Text(const char*, String& v) { v = in_.Text(); }
    void TextBytes(const char*, String8& v) { v = in_.TextBytes(); }
    void Text1(const char*, String& v) { v = in_.Text1(); }
    void Text2(const char*, String& v) { v = in_.Text2(); }
    void Blob4(const char*, String8& v) { v = in_.Blob4(); }
    void TextBlob4(const char*, String8& v) { v = in_.Blob4(); }
    void ZText8(const char*, String8& v) { v = in_.ZText8(); }
    void ZText16(const char*, String& v) { v = in_.ZText16(); }
    void Date(const char*, DateValue& v) { v = in_.Date(); }
    void Bytes(const char*, String8& v, size_t count) { v = in_.Bytes(count); }
    void BuildDateValue(const char*, BuildDate& v) {
        uint32_t packed = in_.U32();
        v.year = static_cast<int32_t>(packed & 0xFFFF);
        v.month = static_cast<int32_t>(packed >> 16 & 0xFF);
        v.day = static_cast<int32_t>(packed >> 24);
    }

    void BeginList(const char*) {}
    void EndList() {}
    void BeginItem() {}
    void EndItem() {}

    bool AtEnd() const { return in_.Exhausted(); }
    bool EndMarkNext() const {
        uint32_t next = 0;
        return in_.PeekU32(next) && next == kDefinitionEndMark;
    }
    uint32_t PayloadFlags() const { return state_.payloadFlags; }
    // A definition that ended early is reported as such, whatever field ran short.
    int Fail(int code) const { return in_.Exhausted() ? kCodeEndMark : code; }
    int Check(bool ok, int code) const { return ok ? 0 : Fail(code); }
    int Count(const char*, int32_t& count, int low, int high, int code) {
        count = in_.I32();
        return Check(count >= low && count <= high, code);
    }

    int Step(DefinitionStep step);

  private:
    const String& ProductName() const { return d_.productName; }
    void CompleteDefaultFolder();
    void CompleteBatches();
    void CompleteLanguageTable();

    ByteReader& in_;
    const DefinitionEnvironment& env_;
    DefinitionState& state_;
    Definition& d_;
};

int ReadIo::Step(DefinitionStep step) {
    const DefinitionInputs& cl = env_.commandLine;
    switch (step) {
    case DefinitionStep::OptionWords:
        if (cl.silent) {
            d_.optionWord1 = (d_.optionWord1 & kSilentKeep1) | kSilentSet1;
            d_.optionWord2 = (d_.optionWord2 & kSilentKeep2) | kSilentSet2;
        }
        if (!env_.newerThanServer2003) state_.payloadFlags &= ~kFlagNewerSystemsOnly;
        state_.derivedFlag = (d_.optionWord2 & kOpt2DerivedFlag) != 0;
        break;
    case DefinitionStep::AutomaticMode:
        state_.automatic = cl.automatic || cl.silent;
        if (d_.automaticMode == 1) state_.automatic = true;
        if (d_.automaticMode == 2 && !cl.silent) state_.automatic = false;
        break;
    case DefinitionStep::PlacementRead:
        if (!(d_.optionWord1 & kOpt1NoBackgroundWindow) && env_.createBackgroundWindow)
            env_.createBackgroundWindow();
        if (env_.checksumTest)
            if (int code = env_.checksumTest()) return code;
        break;
    case DefinitionStep::ProductName:
        if (!cl.productName.IsEmpty()) d_.productName = cl.productName;
        break;
    case DefinitionStep::ProductTitle:
        if (d_.productTitle.IsEmpty()) d_.productTitle = ProductName();
        break;
    case DefinitionStep::Bitness:
        if (d_.bitness == 1 && env_.disableRedirection) state_.redirectionFailed = !env_.disableRedirection();
        break;
    case DefinitionStep::SharedPath:
        if (d_.sharedPath.IsEmpty()) d_.sharedPath = IsBlank(d_.publisher) ? ProductName() : d_.publisher;
        break;
    case DefinitionStep::StartMenuFolder:
        if (d_.startMenuFolder.IsEmpty()) d_.startMenuFolder = ProductName();
        break;
    case DefinitionStep::ProductVersion:
        state_.productVersion8 = ToCodePage(d_.productVersion, kCodePageAnsi);
        break;
    case DefinitionStep::DefaultFolder:
        CompleteDefaultFolder();
        break;
    case DefinitionStep::UninstallKeyName:
        if (IsBlank(d_.uninstallKeyName)) d_.uninstallKeyName = ProductName();
        break;
    case DefinitionStep::BackgroundColors:
        state_.monoColor = d_.topColor == d_.bottomColor;
        break;
    case DefinitionStep::MasterProduct:
        if (IsBlank(d_.masterKeyName)) d_.masterKeyName = ProductName();
        if (IsBlank(d_.masterDisplayName)) d_.masterDisplayName = ProductName();
        break;
    case DefinitionStep::DesktopFolder:
        if (d_.desktopFolder.IsEmpty() && (d_.optionWord2 & kOpt2DesktopFolderByName))
            d_.desktopFolder = ProductName();
        if (!d_.desktopFolder.IsEmpty()) {
            const String& desktop = d_.shortcutMode == 1 ? env_.desktopAllUsers : env_.desktopUser;
            state_.desktopFolderPath = JoinPath(desktop, d_.desktopFolder);
            state_.desktopFolderPath8 = ToPathForm(state_.desktopFolderPath);
        }
        break;
    case DefinitionStep::Batches:
        CompleteBatches();
        break;
    case DefinitionStep::Associations:
        for (FileAssociation& a : d_.associations)
            if (!a.extension.IsEmpty() && a.extension[0] == u'.') a.extension.Erase(0, 1);
        break;
    case DefinitionStep::Shortcuts:
        for (Shortcut& s : d_.shortcuts)
            s.fromDefinition = true;
        break;
    case DefinitionStep::TaskbarPin:
        if (d_.pinName.IsEmpty()) d_.pinName = ProductName();
        break;
    case DefinitionStep::LanguageTable:
        CompleteLanguageTable();
        break;
    case DefinitionStep::End:
        if (env_.expandVariables) env_.expandVariables(d_.wizardCaption);
        break;
    }
    return 0;
}

// Empty: the product name. Otherwise "<os>" becomes the Windows folder and variables are
// expanded. Then, unless it is "<master>", a registry reference or already a full path,
// the folder goes under the Program Files folder of the product's bitness.
void ReadIo::CompleteDefaultFolder() {
    String folder = d_.defaultFolder;
    if (folder.IsEmpty()) {
        folder = ProductName();
    } else {
        ReplaceAllNoCase(folder, u"<os>", env_.windowsFolder);
        if (env_.expandVariables) env_.expandVariables(folder);
    }
    bool keep = EqualsNoCase(folder, u"<master>") || StartsWithNoCase(folder, u"HKLM\\") ||
                StartsWithNoCase(folder, u"HKCU\\") || IsAbsolutePath(folder);
    if (!keep) folder = JoinPath(d_.bitness == 1 ? env_.programFiles64 : env_.programFiles32, folder);
    d_.defaultFolder = folder;
}

// The batches in code page 1252; the command line's additions go to the end of the first
// three, on a line of their own.
void ReadIo::CompleteBatches() {
    for (int i = 0; i < kBatchCount; ++i) {
        String8 commands = ToCodePage(d_.batches[i], kCodePage1252);
        if (i < 3 && !env_.commandLine.batchAdditions[i].IsEmpty()) {
            if (!commands.IsEmpty() && commands.Last() != '\n') commands += "\r\n";
            commands += env_.commandLine.batchAdditions[i];
        }
        state_.batchCommands[i] = std::move(commands);
    }
}

void ReadIo::CompleteLanguageTable() {
    LanguageTable& t = d_.languages;
    t.strings.resize(size_t(t.stringCount) * t.names.Count());
    for (String& s : t.strings)
        s = NormalizeLineEnds(s);
    t.defaultLanguage = 0;
    for (int l = 0; l < t.names.Count(); ++l)
        if (EqualsNoCase(t.names[l], u"English")) t.defaultLanguage = l;
    state_.currentLanguage = t.defaultLanguage;
}

} // namespace

String NormalizeLineEnds(const String& text) {
    if (Find(text, u"\r") == String::npos && Find(text, u"\n") == String::npos) return text;
    std::u16string out;
    out.reserve(text.Length() + 16);
    for (size_t i = 0; i < text.Length(); ++i) {
        char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += u"\r\n";
            if (c == u'\r' && i + 1 < text.Length() && text[i + 1] == u'\n') ++i;
        } else {
            out += c;
        }
    }
    return String(out.data(), out.size());
}

int ReadDefinition(const void* data, size_t size, const DefinitionEnvironment& env, DefinitionState& state) {
    state.definition = Definition();
    ByteReader in(data, size);
    ReadIo io(in, env, state);
    return DefinitionFields(io, state.definition);
}

} // namespace cs
