#pragma once

#include "DeviceProtocol.h"

#include <cstdint>

// Walks one block in the order the device expects it: full 62-byte data chunks, then the
// last-chunk length, then the last chunk of 1..62 bytes. The last chunk is always announced by
// its length, also when it is a full 62 bytes. Does not own the block; used on the worker thread.
class BlockChunker
{
public:
    BlockChunker(std::uint8_t targetId, const std::uint8_t* block, int length);

    // Builds the next command of the block into report (64 bytes); false when none is left.
    bool next(std::uint8_t* report);

    // About the command next() built last:
    DeviceProtocol::Step step() const { return m_step; }
    // True for the first command of a chunk (a full chunk, or the length that opens the last one).
    bool startsChunk() const { return m_step == DeviceProtocol::Step::LastChunkLength || !m_inLastChunk; }
    // Offset in the block of the chunk it belongs to.
    int chunkStart() const { return m_chunkStart; }
    // Data bytes counted as handed to the device: the last chunk counts once its length is announced.
    int bytesCounted() const { return m_counted; }

private:
    const std::uint8_t m_targetId;
    const std::uint8_t* const m_block;
    const int m_length;
    int m_pos = 0; // start of the next chunk to build
    int m_chunkStart = 0;
    int m_counted = 0;
    bool m_inLastChunk = false;
    bool m_done = false;
    DeviceProtocol::Step m_step = DeviceProtocol::Step::DataChunk;
};
