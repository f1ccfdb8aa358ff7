// The registry of the current user: keys of named values (strings, numbers,
// bytes), kept in one text file in the REGEDIT4 export format.
//
// The file is $TOVANEL_REGISTRY, else $XDG_CONFIG_HOME/tovanel/registry.reg
// (~/.config/tovanel/registry.reg when unset). Reads see the file as it is
// on disk when the key is opened. Every write locks the file, re-reads it,
// changes the one value and replaces the file atomically, so values that
// another program changed meanwhile survive. A file that cannot be parsed is
// moved aside with a timestamped name and never overwritten.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

constexpr uintptr_t RegRootCurrentUser = 0x80000001;

enum RegValueType : uint32_t {
  RegTypeNone = 0,
  RegTypeString = 1,
  RegTypeBinary = 3,
  RegTypeNumber = 4,  // 32-bit, least significant byte first
};

enum RegAccessRights : uint32_t {
  RegAccessRead = 0x20019,
  RegAccessAll = 0xF003F,
};

// Results, numbered as the reader's code compares them.
enum RegResult : int32_t {
  RegOk = 0,
  RegNotFound = 2,
  RegAccessDenied = 5,
  RegInvalid = 87,
  RegMoreData = 234,
  RegWriteFailed = 1021,
};

struct RegKey;

// Key paths are separated by '\' and compared without regard to case.
int32_t RegOpenKey(uintptr_t root, const char16_t* path, uint32_t access, RegKey** key);
int32_t RegCreateKey(uintptr_t root, const char16_t* path, uint32_t access, RegKey** key);
void RegCloseKey(RegKey* key);

// With data null: *type and *size only. With data: copies *size bytes at
// most; RegMoreData (and the size needed in *size) when they do not fit.
int32_t RegQueryValue(RegKey* key, const char16_t* name, uint32_t* type, uint8_t* data,
                      uint32_t* size);
int32_t RegSetValue(RegKey* key, const char16_t* name, uint32_t type, const uint8_t* data,
                    uint32_t size);

// The file in use (after the environment is read).
std::string RegistryFilePath();

// Test hook: called after the new file is written and flushed and before it
// replaces the old one.
void SetRegistryBeforeReplaceHook(void (*hook)());

}  // namespace plat
