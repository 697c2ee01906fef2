// zephctl keygen, encode and decode: the channel's key pair and the signed
// documents (install configuration, partner offer list) made with it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>

#include "rules/signed_document.h"
#include "tools/command.h"

namespace zephctl {
namespace {

const char kKeygenHelp[] =
    "usage: zephctl keygen --out DIR [--bits N] [--force]\n"
    "\n"
    "Makes an RSA key pair (e = 65537) for signing configuration documents:\n"
    "DIR/private.pem (PKCS #8, readable by the owner only) and DIR/public.pem.\n"
    "The installer is built with the public half (CMake setting\n"
    "ZEPH_CONFIG_PUBLIC_KEY); the channel server signs with the private half.\n"
    "\n"
    "  --out DIR   folder for the two files (created when missing)\n"
    "  --bits N    modulus size, default 1024 (the installer's block size)\n"
    "  --force     replace existing key files\n";

const char kEncodeHelp[] =
    "usage: zephctl encode --key PRIVATE.pem [IN] [--out OUT]\n"
    "\n"
    "Signs a configuration document or partner offer list for the installer:\n"
    "the text is cut into pieces of at most 117 bytes, each framed and signed\n"
    "into one 128-byte block with the private key, and the blocks are written\n"
    "as one line of Base64 without a line break (the installer refuses one).\n"
    "\n"
    "  IN          the document (UTF-8 XML); standard input when absent or -\n"
    "  --key FILE  the channel's private key (PEM)\n"
    "  --out OUT   where to write; standard output when absent\n";

const char kDecodeHelp[] =
    "usage: zephctl decode --key PUBLIC.pem [IN] [--out OUT]\n"
    "\n"
    "Opens a signed document with the installer's own decoder and prints its\n"
    "text. Fails, naming the reason, where the installer would not get the\n"
    "whole text.\n"
    "\n"
    "  IN          the Base64 text; standard input when absent or -\n"
    "  --key FILE  the public key (PEM; a private key works as well)\n"
    "  --out OUT   where to write the text; standard output when absent\n";

bool ReadInput(const std::string& name, std::string& bytes, std::string& error) {
    if (name.empty() || name == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        error = "cannot read " + name;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteOutput(const std::string& name, const std::string& bytes, std::string& error) {
    if (name.empty() || name == "-") {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return std::fflush(stdout) == 0;
    }
    // Written beside the target and renamed, so a failure never leaves half a document.
    const std::string temp = name + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            error = "cannot write " + name;
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, name, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        error = "cannot write " + name;
        return false;
    }
    return true;
}

// The one positional argument, if any; fails on a second one.
bool TakeInput(Args& args, std::string& input, std::string& error) {
    for (const auto& arg : args) {
        if (arg.size() > 1 && arg[0] == '-') {
            continue;
        }
        if (!input.empty()) {
            error = "unexpected argument " + arg;
            return false;
        }
        input = arg;
    }
    return true;
}

int RunKeygen(const Args& argsIn) {
    Args args = argsIn;
    std::string dir;
    std::string bitsText = "1024";
    const bool hasOut = TakeOption(args, "--out", dir);
    TakeOption(args, "--bits", bitsText);
    const bool force = TakeFlag(args, "--force");
    std::string error;
    if (!NoOptionsLeft(args, error)) {
        return Fail(error);
    }
    if (!args.empty()) {
        return Fail("unexpected argument " + args.front());
    }
    if (!hasOut || dir.empty()) {
        return Fail("keygen needs --out DIR");
    }
    int bits = 0;
    try {
        bits = std::stoi(bitsText);
    } catch (...) {
        bits = 0;
    }
    if (bits < 512 || bits > 8192) {
        return Fail("--bits must be a number from 512 to 8192");
    }
    const std::filesystem::path folder(dir);
    const auto privatePath = folder / "private.pem";
    const auto publicPath = folder / "public.pem";
    std::error_code ec;
    if (!force &&
        (std::filesystem::exists(privatePath, ec) || std::filesystem::exists(publicPath, ec))) {
        return Fail("key files already exist in " + dir + " (use --force to replace them)");
    }
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        return Fail("cannot create " + dir + ": " + ec.message());
    }
    const auto key = zeph::RsaKey::Generate(bits);
    if (!key) {
        return Fail("key generation failed");
    }
    // Created empty and restricted first, so the private key is never readable by others.
    { std::ofstream touch(privatePath, std::ios::trunc); }
    std::filesystem::permissions(
        privatePath, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
        std::filesystem::perm_options::replace, ec);
    std::ofstream privateOut(privatePath, std::ios::binary | std::ios::trunc);
    privateOut << key->PrivatePem();
    std::ofstream publicOut(publicPath, std::ios::binary | std::ios::trunc);
    publicOut << key->PublicPem();
    if (!privateOut.flush() || !publicOut.flush()) {
        return Fail("cannot write the key files in " + dir);
    }
    std::printf("wrote %s and %s (%d-bit RSA)\n", privatePath.c_str(), publicPath.c_str(), bits);
    return 0;
}

std::optional<zeph::RsaKey> LoadKey(Args& args, bool needPrivate, std::string& error) {
    std::string keyPath;
    if (!TakeOption(args, "--key", keyPath) || keyPath.empty()) {
        error = "missing --key";
        return std::nullopt;
    }
    auto key = zeph::RsaKey::FromPemFile(keyPath);
    if (!key) {
        error = keyPath + " holds no RSA key in PEM form";
        return std::nullopt;
    }
    if (needPrivate && !key->HasPrivate()) {
        error = keyPath + " is a public key; encode needs the private key";
        return std::nullopt;
    }
    return key;
}

int RunEncode(const Args& argsIn) {
    Args args = argsIn;
    std::string error;
    const auto key = LoadKey(args, true, error);
    if (!key) {
        return Fail(error);
    }
    std::string outPath;
    TakeOption(args, "--out", outPath);
    std::string input;
    if (!NoOptionsLeft(args, error) || !TakeInput(args, input, error)) {
        return Fail(error);
    }
    std::string text;
    if (!ReadInput(input, text, error)) {
        return Fail(error);
    }
    if (text.empty()) {
        return Fail("the document is empty");
    }
    if (text.find('\0') != std::string::npos) {
        return Fail("the document holds a NUL byte; the installer would cut the text there");
    }
    const auto encoded = zeph::EncodeSignedDocument(text, *key);
    if (!encoded) {
        return Fail("signing failed");
    }
    if (!WriteOutput(outPath, *encoded, error)) {
        return Fail(error);
    }
    return 0;
}

int RunDecode(const Args& argsIn) {
    Args args = argsIn;
    std::string error;
    const auto key = LoadKey(args, false, error);
    if (!key) {
        return Fail(error);
    }
    std::string outPath;
    TakeOption(args, "--out", outPath);
    std::string input;
    if (!NoOptionsLeft(args, error) || !TakeInput(args, input, error)) {
        return Fail(error);
    }
    std::string body;
    if (!ReadInput(input, body, error)) {
        return Fail(error);
    }
    const zeph::DecodedDocument decoded = zeph::DecodeSignedDocument(body, *key);
    switch (decoded.status) {
        case zeph::DecodeStatus::Ok:
            break;
        case zeph::DecodeStatus::BadBase64: {
            const bool lineBreak = !body.empty() && (body.back() == '\n' || body.back() == '\r');
            return Fail(lineBreak
                            ? "the text ends in a line break, which the installer refuses"
                            : "not Base64 text (length not a multiple of 4, or a stray character)");
        }
        case zeph::DecodeStatus::BadLength:
            return Fail("the decoded length is not a multiple of " +
                        std::to_string(key->BlockSize()) + " bytes");
        case zeph::DecodeStatus::BadBlock:
            return Fail("block " + std::to_string(decoded.failedBlock + 1) +
                        " does not open with this key (" + std::to_string(decoded.text.size()) +
                        " bytes of text before it)");
        case zeph::DecodeStatus::NoKey:
            return Fail("the key cannot be used");
    }
    if (decoded.text.empty()) {
        return Fail("the document decodes to no text");
    }
    if (!WriteOutput(outPath, decoded.text, error)) {
        return Fail(error);
    }
    return 0;
}

}  // namespace

ZEPH_COMMAND("keygen", "RSA key pair for signed configuration documents", RunKeygen, kKeygenHelp);
ZEPH_COMMAND("encode", "sign a configuration document or offer list", RunEncode, kEncodeHelp);
ZEPH_COMMAND("decode", "open a signed document with the installer's decoder", RunDecode,
             kDecodeHelp);

}  // namespace zephctl
