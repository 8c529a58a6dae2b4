#include "BlockChunker.h"

using namespace DeviceProtocol;

BlockChunker::BlockChunker(std::uint8_t targetId, const std::uint8_t* block, int length)
    : m_targetId(targetId),
      m_block(block),
      m_length(length),
      m_done(length <= 0)
{
}

bool BlockChunker::next(std::uint8_t* report)
{
    if (m_done)
        return false;

    const int remaining = m_length - m_pos;
    m_chunkStart = m_pos;

    if (m_inLastChunk)
    {
        buildDataChunk(report, m_targetId, m_block + m_pos, remaining);
        m_step = Step::DataChunk;
        m_done = true;
        return true;
    }

    if (remaining <= kChunkSize)
    {
        buildLastChunkLength(report, m_targetId, remaining);
        m_step = Step::LastChunkLength;
        m_counted += remaining;
        m_inLastChunk = true;
        return true;
    }

    buildDataChunk(report, m_targetId, m_block + m_pos, kChunkSize);
    m_step = Step::DataChunk;
    m_counted += kChunkSize;
    m_pos += kChunkSize;
    return true;
}
