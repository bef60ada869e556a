#include "builder/Sign.h"

#include "builder/Inspect.h"
#include "builder/Project.h"
#include "builder/SourceTree.h"
#include "payload/ByteSource.h"
#include "payload/Definition.h"
#include "payload/PayloadCodes.h"
#include "payload/PeImage.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace cs {

namespace fs = std::filesystem;

namespace {

bool ReadFile(const std::string& path, Bytes& out) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Runs a program with its arguments (no shell); its exit code, or -1 when it cannot start.
int RunProgram(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
#ifdef _WIN32
    // The C runtime joins the arguments into one command line without quoting them.
    std::vector<std::string> quoted;
    for (const std::string& a : command)
        quoted.push_back(a.find_first_of(" \t\"") == std::string::npos ? a : "\"" + a + "\"");
    argv.clear();
    for (const std::string& a : quoted)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    intptr_t rc = _spawnvp(_P_WAIT, argv[0], argv.data());
    return rc < 0 ? -1 : static_cast<int>(rc);
#else
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

} // namespace

std::string SignRefusal(ByteView installer) {
    InspectReport report = InspectInstaller(installer);
    if (report.verdict != 0)
        return "the installer fails the engine's checks (code " + std::to_string(report.verdict) +
               "); corvantis-build inspect tells which";
    int code = 0;
    Definition d;
    DecodedDefinitionJson(report, code, &d);
    if (d.externalData == 1)
        return "its file data lie outside the mapped section and run to the end of the file: the signature "
               "appended there would become part of them and the engine would stop with code 46 (build it "
               "without install.external_data to sign it)";
    if (d.pages.integrityMode == 1)
        return "it checks itself by its engine checksum (install.integrity_check = \"checksum\"), which "
               "covers "
               "the PE header field that signing fills in: the engine would stop with code 40 (use "
               "\"signature\" or \"signature-lenient\" for a signed installer)";
    uint32_t offset = 0, size = 0;
    if (ReadCertificateTable(installer, report.info.section.peOffset, offset, size) && (offset || size))
        return "it is signed already (sign the builder's unsigned output)";
    return "";
}

std::vector<std::string> SignCommand(const SignOptions& o, const std::string& input,
                                     const std::string& output) {
    std::vector<std::string> c = {o.tool, "sign", "-h", "sha256"};
    if (!o.pkcs12.empty()) {
        c.insert(c.end(), {"-pkcs12", o.pkcs12});
    } else {
        c.insert(c.end(), {"-certs", o.certificate, "-key", o.key});
    }
    if (!o.passwordFile.empty()) c.insert(c.end(), {"-readpass", o.passwordFile});
    if (!o.description.empty()) c.insert(c.end(), {"-n", o.description});
    if (!o.url.empty()) c.insert(c.end(), {"-i", o.url});
    if (!o.timestampUrl.empty()) c.insert(c.end(), {"-ts", o.timestampUrl});
    c.insert(c.end(), {"-in", input, "-out", output});
    return c;
}

bool SignInstaller(const SignOptions& o, std::string& error) {
    if (o.pkcs12.empty() && (o.certificate.empty() || o.key.empty())) {
        error = "give --cert and --key, or --pkcs12";
        return false;
    }
    Bytes original;
    if (!ReadFile(o.installer, original)) {
        error = "cannot read " + o.installer;
        return false;
    }
    std::string refusal = SignRefusal(original);
    if (!refusal.empty()) {
        error = o.installer + " cannot be signed: " + refusal;
        return false;
    }
    std::string output = o.output.empty() ? o.installer : o.output;
    std::string temporary = output + ".signing";
    std::error_code ec;
    fs::remove(PathFromUtf8(temporary), ec);
    int rc = RunProgram(SignCommand(o, o.installer, temporary));
    auto fail = [&](const std::string& why) {
        fs::remove(PathFromUtf8(temporary), ec);
        error = why;
        return false;
    };
    if (rc < 0) return fail("cannot run " + o.tool + " (install it: Debian package osslsigncode)");
    if (rc != 0) return fail(o.tool + " failed with exit code " + std::to_string(rc));
    Bytes signedFile;
    if (!ReadFile(temporary, signedFile)) return fail("cannot read the signed file " + temporary);
    // The engine's checks once more, over the signed file: a tool that changed more than the
    // certificate table and the appended signature shows here.
    InspectReport report = InspectInstaller(signedFile);
    if (report.verdict != 0)
        return fail("the signed file fails the engine's checks (code " + std::to_string(report.verdict) +
                    "); it was not written");
    fs::rename(PathFromUtf8(temporary), PathFromUtf8(output), ec);
    if (ec) { // Windows' rename does not replace a file
        fs::remove(PathFromUtf8(output), ec);
        fs::rename(PathFromUtf8(temporary), PathFromUtf8(output), ec);
    }
    if (ec) return fail("cannot write " + output + ": " + ec.message());
    return true;
}

} // namespace cs
