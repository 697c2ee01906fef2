# The servers the installer talks to, as build configuration. Each is a cache
# variable ZEPH_ENDPOINT_<KEY> (-DZEPH_ENDPOINT_CONFIG=conf.example.net:8080),
# compiled into the network layer's built-in table; at run time the INI file
# named by ZEPH_ENDPOINTS (section [endpoints], the same keys in lower case)
# replaces them.
#
# The defaults are hosts under tarnwell.example, the maker's domain in this
# build: they resolve nowhere, so a build that was not configured for real
# servers never reaches anybody else's.

set(ZEPH_ENDPOINT_KEYS
    config pictures catalogue update city1 city2 city3 cityid telemetry probe
    website download_site chat vip_chat)

# key, default, what it is
set(_zeph_endpoint_table
  "config|conf.zeph.tarnwell.example|configuration server: install configuration, partner offers, area list, pop-up picture (host[:port])"
  "pictures|pic.zeph.tarnwell.example|picture host of the channel screens (host[:port])"
  "catalogue|soft.zeph.tarnwell.example|software catalogue: software detail records (host[:port])"
  "update|update.zeph.tarnwell.example|update server: the installer's self-update document (host[:port])"
  "city1|city.zeph.tarnwell.example|first binary city service (host[:port])"
  "city2|192.0.2.10:8080|second binary city service (address:port)"
  "city3|192.0.2.11:8080|third binary city service (address:port)"
  "cityid|cityid.zeph.tarnwell.example|HTTP city-id service (host[:port])"
  "telemetry|stat.zeph.tarnwell.example|telemetry endpoint (host[:port])"
  "probe|www.tarnwell.example|network-probe host that answers ICMP echo (host)"
  "website|https://www.tarnwell.example|the maker's web site (URL, no trailing slash)"
  "download_site|https://download.tarnwell.example/|outside software download site (URL)"
  "chat|https://support.tarnwell.example/chat|built-in customer-service chat link (URL)"
  "vip_chat|https://support.tarnwell.example/chat/member|built-in customer-service chat link for members (URL)")

set(_zeph_endpoint_lines "")
foreach(row IN LISTS _zeph_endpoint_table)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 key)
  list(GET fields 1 default)
  list(GET fields 2 doc)
  string(TOUPPER "${key}" upper)
  set(ZEPH_ENDPOINT_${upper} "${default}" CACHE STRING "Server: ${doc}")
  set(value "${ZEPH_ENDPOINT_${upper}}")
  # The value becomes a C string literal: keep it to URL characters.
  if(NOT value MATCHES "^[A-Za-z0-9._~:/?#@!$&'()*+,;=%-]*$")
    message(FATAL_ERROR "ZEPH_ENDPOINT_${upper}: '${value}' is not a host or URL")
  endif()
  string(APPEND _zeph_endpoint_lines "ZEPH_ENDPOINT(${key}, u\"${value}\")\n")
endforeach()

# zeph_write_endpoints(<file>): the table as ZEPH_ENDPOINT(key, value) lines.
function(zeph_write_endpoints file)
  file(CONFIGURE OUTPUT "${file}" CONTENT
       "// Generated from the ZEPH_ENDPOINT_* cache variables (cmake/ZephEndpoints.cmake).\n@_zeph_endpoint_lines@"
       @ONLY)
endfunction()
