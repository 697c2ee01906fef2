// The details of one entry of the suite's software catalogue, for an
// installer started to install that entry instead of the suite (a software
// id in its file name): download URL, MD5, name and logo, read as JSON from
// the catalogue server.
#pragma once

#include <cstdint>
#include <string>

namespace zeph::net {

struct SoftDetail {
    std::u16string downurl;
    std::u16string filemd5;
    std::u16string softname;
    std::u16string fileName;  // derived from downurl
    std::u16string logo;
    int32_t valid = 1;   // LoadSoftDetail's outcome once it ran for a software id
    int32_t notExe = 0;  // 1 when fileName is not an ".exe" file
};

// The process-wide record, created on first use. Written by LoadSoftDetail on
// the main thread before the windows read it.
SoftDetail& GetSoftDetail();

// GET of "/softmgr_v2/softdetail/<softId>.json?ver=1" on the catalogue
// server. False when the request failed or the body is empty; json is the
// body as wide text (UTF-8, else the ANSI code page).
bool FetchSoftDetail(const std::u16string& softId, std::u16string& json);

// Reads "logo", "softname", "downurl" (and derives fileName) and "filemd5" in
// this order, stopping at the first that is missing. True when all five texts
// are non-empty.
bool ParseSoftDetail(SoftDetail& record, const std::u16string& json);

// With a software id: fetch and parse into GetSoftDetail() and set its valid
// flag to the outcome. Without one nothing happens.
void LoadSoftDetail(const std::u16string& softId);

// fileName from downurl: the last path component, lower-cased, without a
// ".pak" ending, cut after the first ".exe"; without ".exe" notExe is set.
// False when no usable name is left ("", "." and ".." are no file names).
bool FileNameFromUrl(SoftDetail& record);

}  // namespace zeph::net
