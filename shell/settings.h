// What the reader remembers between runs: the maker key's options, read
// once, and the program key's settings and bookmarks, read at start and
// written at exit. Also the allocation that ends the program cleanly when
// memory runs out.
#pragma once

#include <cstddef>
#include <cstdint>

extern const char16_t kMakerKey[];    // "software\Corvanta"
extern const char16_t kProgramKey[];  // "Software\Corvanta\Tovanel (Vowels)"

constexpr int32_t kProgramPathUnits = 260;
constexpr int kSearchStringRead = 33;
constexpr int kRowBitmapFirstId = 201;

// A DWORD, or text read as decimal digits (no sign, no check: "1a" is 59).
int32_t ReadNumberSetting(const char16_t* keyPath, const char16_t* name, int32_t fallback);
int32_t ReadProgramNumber(const char16_t* name, int32_t fallback);

// Buffers from AllocOrAbort, released by the caller with plat::MemFree;
// null when the key or value cannot be read. Every buffer has zero bytes
// after the stored data, so text walks stop inside it.
char16_t* ReadProgramString(const char16_t* name);
uint8_t* ReadProgramBinary(const char16_t* name);
// `fallback` (and *sizeOut untouched) when the value cannot be read.
uint8_t* ReadProgramBinarySized(const char16_t* name, uint8_t* fallback, uint32_t* sizeOut);
void ReadByteStringSetting(const char16_t* name, uint8_t* buffer, int32_t capacity);

// 1 written, 0 failed.
int WriteProgramNumber(const char16_t* name, int32_t number);
int WriteProgramString(const char16_t* name, const char16_t* text);
int WriteProgramByteString(const char16_t* name, const uint8_t* bytes);
int WriteProgramBinary(const char16_t* name, const uint8_t* bytes, uint32_t length);

void LoadSettings();
// Writes the settings back, releases the view and the bookmarks and asks
// the message loop to end. Runs once per process; settings that were never
// completely loaded are not written.
void SaveSettingsAndQuit();
// n bytes, or (after "There is not enough memory, aborting") none, with the
// settings saved and the program's end requested.
void* AllocOrAbort(std::size_t n);

void LoadBookmarks();
void SaveBookmarks();
void FreeBookmarks();
int IsBookmarked();

// Test hook: lets SaveSettingsAndQuit run again and forgets the load.
void ResetSettingsStoreForTest();
