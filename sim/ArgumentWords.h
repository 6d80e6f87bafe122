// The stand-ins record the arguments they receive as machine words, pointers and numbers alike.
#pragma once

#include <windows.h>

#include <type_traits>

template <class T>
UINT_PTR AsWord(T value) {
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<UINT_PTR>(value);
  else
    return static_cast<UINT_PTR>(value);
}
