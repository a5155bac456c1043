// Format_String's bounded buffer and HostString assignment on the host's allocator.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/format_string.h"
#include "common/host_string.h"
#include "fresh_process.h"
#include "scenario_support.h"

namespace {

// ---------------------------------------------------------------- Format_String

struct FormatCase {
  const char* name;
  std::size_t text_length;
  std::size_t expected_length;
};

const FormatCase kFormatCases[] = {
    {"empty", 0, 0},
    {"short", 12, 12},
    {"one below the limit", 2046, 2046},
    {"exactly the limit", 2047, 2047},
    {"one past the limit", 2048, 2047},
    {"far past the limit", 100000, 2047},
};

TEST(FormatString, TextsUpTo2047CharactersComeOutWholeLongerOnesAreCut) {
  for (const FormatCase& format_case : kFormatCases) {
    SCOPED_TRACE(format_case.name);
    std::string text(format_case.text_length, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    const std::string result = Format_String("%s", text.c_str());
    EXPECT_EQ(result.size(), format_case.expected_length);
    EXPECT_EQ(result, text.substr(0, format_case.expected_length));
  }
}

TEST(FormatString, WhatFollowsTheLimitIsDropped) {
  const std::string full(2047, 'x');
  EXPECT_EQ(Format_String("%s%s", full.c_str(), "tail"), full);
  const std::string nearly(2045, 'y');
  EXPECT_EQ(Format_String("%s%d", nearly.c_str(), 12345), nearly + "12");
}

// ---------------------------------------------------------------- HostString

constexpr std::uint32_t kBookkeeping = 0xA5C3E1F7u;

HostString Empty_In_Place() {
  HostString text;
  std::memset(&text, 0x3C, sizeof text);  // the bytes behind the terminator are anything
  text.bookkeeping = kBookkeeping;
  text.buffer[0] = '\0';
  text.length = 0;
  text.capacity = kHostStringInPlaceCapacity;
  return text;
}

char* Pointer_In_Buffer(const HostString& text) {
  char* block = nullptr;
  std::memcpy(&block, text.buffer, sizeof block);
  return block;
}

std::string Text_Of_Length(std::size_t length, char first) {
  std::string text(length, '\0');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>(first + i % 20);
  return text;
}

// What every well-formed string holds: the characters where the capacity says they are,
// terminated, with the bookkeeping word left alone.
void Expect_Holds(const HostString& text, const std::string& expected) {
  EXPECT_EQ(text.bookkeeping, kBookkeeping) << "the bookkeeping word is the host's";
  EXPECT_EQ(text.length, expected.size());
  EXPECT_GE(text.capacity, text.length);
  const char* chars = text.capacity > kHostStringInPlaceCapacity ? Pointer_In_Buffer(text) : text.buffer;
  ASSERT_NE(chars, nullptr);
  EXPECT_EQ(Host_String_Chars(text), chars);
  EXPECT_EQ(std::string(chars, text.length), expected);
  EXPECT_EQ(chars[text.length], '\0');
  EXPECT_EQ(Host_String_Value(text), expected);
}

// What an assignment may do with the block of a string on the heap.
enum class Outcome {
  InPlace,      // the characters are (still) held in place, no block involved
  SameBlock,    // a string on the heap keeps its block; capacity unchanged
  KeptOrGivenUp,// a short text onto a heap string: it keeps the block, or gives it back and goes in place
  NewBlock,     // a block from the host; any block held before goes back
};

struct AssignCase {
  std::size_t length;
  bool starts_on_heap;  // else in place; on the heap the start holds 16 characters, capacity 16
  Outcome outcome;
};

const AssignCase kAssignCases[] = {
    {0, false, Outcome::InPlace},
    {1, false, Outcome::InPlace},
    {15, false, Outcome::InPlace},
    {16, false, Outcome::NewBlock},
    {17, false, Outcome::NewBlock},
    {100, false, Outcome::NewBlock},
    {0, true, Outcome::KeptOrGivenUp},
    {1, true, Outcome::KeptOrGivenUp},
    {15, true, Outcome::KeptOrGivenUp},
    {16, true, Outcome::SameBlock},
    {17, true, Outcome::NewBlock},
    {100, true, Outcome::NewBlock},
};

TEST(HostString, AssignmentKeepsTheLayoutAndItsBlocksOnTheHostAllocator) {
  In_Fresh_Process([] {
    Attach_To_Host();
    for (const AssignCase& assign_case : kAssignCases) {
      SCOPED_TRACE(std::to_string(assign_case.length) + " characters onto a string " +
                   (assign_case.starts_on_heap ? "on the heap" : "in place"));
      HostString text = Empty_In_Place();
      if (assign_case.starts_on_heap) {
        const std::string start = Text_Of_Length(16, 'A');
        Host_String_Assign(text, start.c_str(), start.size());
        ASSERT_TRUE(Host_String_On_Heap(text));
        ASSERT_EQ(text.capacity, 16u);
      }
      const char* block_before = Host_String_On_Heap(text) ? Pointer_In_Buffer(text) : nullptr;
      const substitute_host::AllocatorReport before = substitute_host::Allocator_Report();

      const std::string value = Text_Of_Length(assign_case.length, 'a');
      Host_String_Assign(text, value.c_str(), value.size());

      const substitute_host::AllocatorReport after = substitute_host::Allocator_Report();
      Expect_Holds(text, value);
      const std::size_t allocated = after.allocations - before.allocations;
      const std::size_t released = after.releases - before.releases;
      EXPECT_EQ(after.live_blocks + released, before.live_blocks + allocated) << "no block is lost or made up";
      EXPECT_EQ(after.foreign_releases, 0u);
      Outcome outcome = assign_case.outcome;
      if (outcome == Outcome::KeptOrGivenUp) outcome = Host_String_On_Heap(text) ? Outcome::SameBlock : Outcome::InPlace;
      switch (outcome) {
        case Outcome::InPlace:
          EXPECT_FALSE(Host_String_On_Heap(text));
          EXPECT_EQ(text.capacity, kHostStringInPlaceCapacity);
          EXPECT_EQ(allocated, 0u);
          EXPECT_EQ(released, block_before ? 1u : 0u) << "a block given up goes back to the host";
          break;
        case Outcome::SameBlock:
          EXPECT_EQ(Pointer_In_Buffer(text), block_before);
          EXPECT_EQ(text.capacity, 16u);
          EXPECT_EQ(allocated, 0u);
          EXPECT_EQ(released, 0u);
          break;
        case Outcome::NewBlock:
          EXPECT_TRUE(Host_String_On_Heap(text));
          ASSERT_EQ(allocated, 1u);
          EXPECT_EQ(released, block_before ? 1u : 0u) << "the replaced block goes back to the host";
          EXPECT_NE(Pointer_In_Buffer(text), block_before);
          // The host may later fill the block up to its capacity and a terminator.
          EXPECT_GE(substitute_host::Requested_Sizes().back(), std::size_t{text.capacity} + 1);
          break;
        case Outcome::KeptOrGivenUp:
          break;
      }
      Host_String_Clear(text);
    }
    EXPECT_EQ(substitute_host::Allocator_Report().foreign_releases, 0u);
  });
}

TEST(HostString, ClearingGivesTheBlockBackAndLeavesTheEmptyString) {
  In_Fresh_Process([] {
    Attach_To_Host();
    HostString text = Empty_In_Place();
    const std::size_t live_at_start = substitute_host::Allocator_Report().live_blocks;
    Host_String_Assign(text, "a stem of twenty-six chars");
    EXPECT_EQ(substitute_host::Allocator_Report().live_blocks, live_at_start + 1);
    Host_String_Clear(text);
    EXPECT_EQ(substitute_host::Allocator_Report().live_blocks, live_at_start);
    EXPECT_EQ(text.capacity, kHostStringInPlaceCapacity);
    Expect_Holds(text, "");
    Host_String_Assign(text, "short");
    Expect_Holds(text, "short");
    EXPECT_EQ(substitute_host::Allocator_Report().live_blocks, live_at_start);
    EXPECT_EQ(substitute_host::Allocator_Report().foreign_releases, 0u);
  });
}

TEST(HostString, WhenTheHostYieldsNoBlockTheStringStaysAsItWas) {
  for (bool starts_on_heap : {false, true}) {
    SCOPED_TRACE(starts_on_heap ? "on the heap" : "in place");
    In_Fresh_Process([&] {
      Attach_To_Host();
      HostString text = Empty_In_Place();
      const std::string start = starts_on_heap ? Text_Of_Length(20, 'K') : "short";
      Host_String_Assign(text, start.c_str());
      HostString snapshot;
      std::memcpy(&snapshot, &text, sizeof text);
      const substitute_host::AllocatorReport before = substitute_host::Allocator_Report();

      substitute_host::Yield_Null_From(before.allocations + 1);
      const std::string longer = Text_Of_Length(40, 'a');
      Host_String_Assign(text, longer.c_str(), longer.size());

      const substitute_host::AllocatorReport after = substitute_host::Allocator_Report();
      EXPECT_EQ(after.null_results, before.null_results + 1) << "the longer text did ask the host";
      EXPECT_EQ(std::memcmp(&snapshot, &text, sizeof text), 0);
      Expect_Holds(text, start);
      EXPECT_EQ(after.live_blocks, before.live_blocks);
      EXPECT_EQ(after.releases, before.releases) << "the held block is not given up";

      // The host has blocks again: the same assignment now succeeds.
      Host_String_Assign(text, longer.c_str(), longer.size());
      Expect_Holds(text, longer);
      Host_String_Clear(text);
      EXPECT_EQ(substitute_host::Allocator_Report().foreign_releases, 0u);
    });
  }
}

}  // namespace
