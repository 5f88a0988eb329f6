#pragma once
// Memory for the captured datagrams that records keep. Blocks are carved in
// order from slabs of 2 MiB, and a slab goes back once no block of it is
// held. Records are released and dropped oldest first, so slabs empty in the
// order they filled: the memory in use follows the bytes held, without the
// fragmentation of a general allocator, and a burst costs no allocator call
// per datagram.

#include <cstddef>
#include <cstdint>
#include <memory>

// A block of at least `size` bytes, contents undefined. Holding it holds its
// slab. Throws std::bad_alloc when no memory can be had.
std::shared_ptr<std::uint8_t[]> AllocateDatagramBlock(std::size_t size);
