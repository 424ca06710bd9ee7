// What the language catalogue is expected to hold, shared by the catalogue's test files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace catalogue_cases {

// The numbers N of every text the program uses (text N = block base + N).
inline std::vector<UINT> TextNumbers() {
  std::vector<UINT> numbers;
  for (UINT n = 0; n <= 18; ++n) numbers.push_back(n);
  for (UINT n = 100; n <= 129; ++n)
    if (n != 116) numbers.push_back(n);
  return numbers;
}

struct Language {
  int index;
  LANGID language_id;
  UINT block_base;
  bool translated;
  UINT flag_icon;
};

// The eighteen languages, in index order.
inline const std::vector<Language>& Languages() {
  static const std::vector<Language> table = {
      {0, 0x040C, 1000, true, 144},   {1, 0x0409, 2000, true, 145},   {2, 0x0407, 3000, true, 141},
      {3, 0x0C0A, 4000, true, 143},   {4, 0x0816, 5000, true, 148},   {5, 0x0413, 7000, false, 147},
      {6, 0x0406, 8000, false, 142},  {7, 0x041F, 9000, true, 149},   {8, 0x0402, 11000, false, 150},
      {9, 0x0418, 12000, true, 151},  {10, 0x0804, 10000, false, 152}, {11, 0x0410, 6000, true, 146},
      {12, 0x0405, 13000, false, 153}, {13, 0x0414, 14000, false, 154}, {14, 0x0408, 15000, false, 155},
      {15, 0x0415, 16000, false, 156}, {16, 0x040D, 17000, false, 157}, {17, 0x042A, 18000, false, 158},
  };
  return table;
}

}  // namespace catalogue_cases
