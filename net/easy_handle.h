// An owned libcurl easy handle, declared without libcurl's header so that
// the headers of this folder can hold one.
#pragma once

#include <memory>

namespace zeph::net {

struct EasyDeleter {
    void operator()(void* handle) const;  // curl_easy_cleanup
};
// libcurl's CURL is void.
using EasyHandle = std::unique_ptr<void, EasyDeleter>;

}  // namespace zeph::net
