// The update worker "UpdatingThread": the exchange with the device, the device checks, one
// function per state of the transfer, and the device events that reach the component.
#include "BlockChunker.h"
#include "DeviceProtocol.h"
#include "MainComponent.h"

#include <HidCtrl.h>

#include <algorithm>
#include <cstring>

using namespace DeviceProtocol;

namespace
{
constexpr int kStepPauseMs = 1;
constexpr int kOldOSPauseMs = 6;
constexpr int kStopTimeoutMs = 5000;
constexpr int kMainMask = 8;
constexpr int kFirstDspEntry = 4;

bool isError(juce::int32 state) { return state > kStateFinished; }
} // namespace

bool MainComponent::SetUpdState(juce::int32 value)
{
    auto current = m_updState.load();
    while (current != kErrRemoved)
        if (m_updState.compare_exchange_weak(current, value))
            return true;
    return false;
}

void MainComponent::RequestRedraw()
{
    const juce::ScopedLock lock(m_drawLock);
    triggerAsyncUpdate();
}

// The redraw that the last request led to runs after it and reads the state word and the progress
// as they are then: when both are still what that request saw, it shows them already. The state
// word never comes back to a value within one turn, and the progress only grows. The lock is taken
// either way, so a redraw in progress still holds the turn.
void MainComponent::RequestTurnRedraw()
{
    const juce::ScopedLock lock(m_drawLock);
    const auto state = m_updState.load();
    const auto progress = m_workerProgress.load();
    if (state == m_requestedState && progress == m_requestedProgress)
        return;
    m_requestedState = state;
    m_requestedProgress = progress;
    triggerAsyncUpdate();
}

bool MainComponent::SendDataAndWaitResponse()
{
    bool replied = true;
    if (!threadShouldExit() && m_updState.load() != kErrRemoved)
    {
        m_pHidCtrl->sendData(m_sendBuf, kReportSize);
        // The event resets itself as the wait returns. Resetting it again here could swallow the
        // signal of a quit that came just after the reply, and the worker would then wait for a
        // reply that the blocked message thread can never deliver.
        if (m_responseEvent.wait(m_replyTimeoutMs))
        {
            {
                const juce::ScopedLock lock(m_replyLock);
                std::memcpy(m_reply, m_recvBuf, sizeof m_reply);
            }
            if (!passesCommonChecks(m_sendBuf, m_reply))
                SetUpdState(kErrOther);
        }
        else
        {
            replied = false;
        }
    }
    if (m_bOldOS)
        sleep(kOldOSPauseMs);
    return replied;
}

// False when the step ends here: no reply (0xE36), a reply that failed the common checks (a wrong
// echo or reason 5 ends the update at every step, not only where the reply code is wrong too), or
// nothing sent because the worker is being stopped (there is then no reply to judge).
bool MainComponent::Exchange()
{
    if (!SendDataAndWaitResponse())
    {
        SetUpdState(kErrTimeout);
        return false;
    }
    return !isError(m_updState.load()) && !threadShouldExit();
}

bool MainComponent::CheckDeviceMode()
{
    buildModeQuery(m_sendBuf);
    if (!Exchange())
        return false;

    const auto verdict = judgeReply(Step::ModeQuery, m_reply);
    if (verdict.outcome != Outcome::Accepted)
    {
        SetUpdState(verdict.errorId);
        return false;
    }
    if (m_updMask == kMainMask)
        return CheckDeviceVersion();

    for (int bit = 0; bit < 3; ++bit)
        if ((m_updMask & (1 << bit)) != 0)
            m_updTargets[kFirstDspEntry + bit].m_status = kStatusToSend;
    return true;
}

bool MainComponent::CheckDeviceVersion()
{
    buildVersionQuery(m_sendBuf);
    if (!Exchange())
        return false;

    if (judgeReply(Step::VersionQuery, m_reply).outcome != Outcome::Version)
    {
        SetUpdState(kErrOther);
        return false;
    }
    m_deviceDate = replyDateWord(m_reply);
    if (!dateWordInBounds(m_deviceDate))
    {
        SetUpdState(kErrDeviceVersion);
        return false;
    }

    // The same date word means the device already holds region 0: only the head of region 3,
    // which carries the version, goes again.
    if (m_deviceDate == m_fileDate)
    {
        m_updTargets[0].m_status = kStatusSameVersion;
        m_updTargets[3].m_size = 0x1000;
    }
    else
    {
        m_updTargets[0].m_status = kStatusToSend;
    }

    m_deviceSysVer = replyVersionText(m_reply);
    if (!CheckSysVer(m_deviceSysVer))
    {
        SetUpdState(kErrDeviceVersion);
        return false;
    }
    for (int entry = 1; entry <= 3; ++entry)
        m_updTargets[entry].m_status = kStatusToSend;
    return true;
}

void MainComponent::run()
{
    while (RunOneTurn())
    {
    }
}

// One turn of the loop; false when the worker ends.
bool MainComponent::RunOneTurn()
{
    RequestTurnRedraw();
    wait(m_loopPauseMs);

    const auto state = m_updState.load();
    if (state > kStatePoll)
    {
        SetUpdState(kErrOther); // keeps 0xE37
        LeaveWorker();
        return false;
    }

    switch (state)
    {
        case kStateLanguage: DoDeviceChecks(); break;
        case kStatePrepare: DoPrepare(); break;
        case kStateBeginBlock: DoNextBlock(); break;
        case kStateData: DoDataChunks(); break;
        case kStateChecksum: DoBlockChecksum(); break;
        case kStatePoll: DoStatusPoll(); break;
        default: break; // waiting for Start
    }

    const auto after = m_updState.load();
    if (after == kStateFinished || isError(after))
    {
        LeaveWorker();
        return false;
    }
    return !threadShouldExit();
}

void MainComponent::LeaveWorker()
{
    RequestRedraw();
    signalThreadShouldExit();
}

void MainComponent::DoDeviceChecks()
{
    if (!CheckDeviceMode())
        return;
    for (const auto& target : m_updTargets)
        if (target.m_status == kStatusToSend)
            m_totalDataSize += target.m_size;
    SetUpdState(m_totalDataSize > 0 ? kStateWaitStart : kErrOther);
}

void MainComponent::DoPrepare()
{
    m_updKind = 0;
    while (m_updKind < kUpdateTargetCount && m_updTargets[m_updKind].m_status != kStatusToSend)
        ++m_updKind;
    if (m_updKind == kUpdateTargetCount)
    {
        SetUpdState(kErrOther); // state 1 is reached only with something to send
        return;
    }
    buildPrepare(m_sendBuf, m_updKind, m_updTargets[m_updKind].m_targetId);
    if (!Exchange())
        return;
    SetUpdState(judgeReply(Step::Prepare, m_reply).outcome == Outcome::Accepted ? kStateBeginBlock : kErrOther);
}

void MainComponent::DoNextBlock()
{
    if (m_updKind >= kUpdateTargetCount)
    {
        // Every entry is done. After a quit the device gets no command, not even finish, and the
        // state stays as it was: 7 says that the finish went out.
        if (!threadShouldExit() && SetUpdState(kStateFinished))
            SendFinish();
        return;
    }
    const auto& target = m_updTargets[m_updKind];
    if (target.m_status != kStatusToSend)
    {
        ++m_updKind; // the next turn looks at the next entry
        return;
    }

    buildBeginBlock(m_sendBuf, target.m_targetId, (std::uint32_t)(target.m_address + m_alreadySentDataSize),
                    (std::uint32_t)blockLength(target, m_alreadySentDataSize));
    if (!Exchange())
        return;
    SetUpdState(judgeReply(Step::BeginBlock, m_reply).outcome == Outcome::Accepted ? kStateData : kErrOther);
}

// The file is read again for every block, so what goes out is what it holds now. A block that
// cannot be read whole is not sent at all: a short read would flash zeros.
bool MainComponent::ReadBlock(const UpdateTarget& target, juce::int64 length, juce::MemoryBlock& block) const
{
    return ReadRegularFile(target.m_file, target.m_offset + m_readOffset, (size_t)length, block) &&
           block.getSize() == (size_t)length;
}

void MainComponent::DoDataChunks()
{
    const auto& target = m_updTargets[m_updKind];
    const auto length = blockLength(target, m_alreadySentDataSize);
    juce::MemoryBlock block;
    if (!ReadBlock(target, length, block))
    {
        SetUpdState(kErrFileOpen);
        return;
    }

    const auto* bytes = static_cast<const std::uint8_t*>(block.getData());
    const double startProgress = m_workerProgress.load();
    const auto sentBefore = m_alreadySentDataSize;
    BlockChunker chunker(target.m_targetId, bytes, (int)length);
    while (chunker.next(m_sendBuf))
    {
        if (chunker.startsChunk())
            m_workerProgress = startProgress + (double)chunker.chunkStart() / (double)m_totalDataSize;
        m_alreadySentDataSize = sentBefore + chunker.bytesCounted();

        // A refused chunk is recorded, and the rest of the block still goes out; the update ends
        // after the block, without its checksum.
        if (!SendDataAndWaitResponse())
        {
            SetUpdState(kErrTimeout);
            return;
        }
        if (threadShouldExit())
            break;
        if (judgeReply(chunker.step(), m_reply).outcome != Outcome::Accepted)
            SetUpdState(kErrOther);
    }

    if (m_updState.load() == kStateData)
    {
        m_blockCheckSum = byteSum(bytes, (size_t)length);
        SetUpdState(kStateChecksum);
    }
}

void MainComponent::DoBlockChecksum()
{
    buildBlockChecksum(m_sendBuf, m_updTargets[m_updKind].m_targetId, m_blockCheckSum);
    if (!Exchange())
        return;
    const auto verdict = judgeReply(Step::BlockChecksum, m_reply);
    if (verdict.outcome != Outcome::Accepted)
    {
        SetUpdState(verdict.errorId);
        return;
    }
    m_loopPauseMs = m_pollPauseMs;
    SetUpdState(kStatePoll);
}

void MainComponent::DoStatusPoll()
{
    const auto& target = m_updTargets[m_updKind];
    buildStatusPoll(m_sendBuf, target.m_targetId);
    if (!Exchange())
        return;

    const auto verdict = judgeReply(Step::StatusPoll, m_reply);
    if (verdict.outcome == Outcome::Busy)
        return; // polled again after the pause
    if (verdict.outcome != Outcome::BlockDone)
    {
        SetUpdState(verdict.errorId);
        return;
    }

    m_loopPauseMs = kStepPauseMs;
    const auto next = (juce::int64)m_readOffset + kMaxBlockSize;
    if (target.m_size <= next)
    {
        ++m_updKind;
        m_alreadySentDataSize = 0;
        m_readOffset = 0;
    }
    else
    {
        m_readOffset = (juce::int32)next;
    }
    SetUpdState(kStateBeginBlock);
}

// The device restarts into its new firmware on finish; it sends no reply.
void MainComponent::SendFinish()
{
    m_workerProgress = 1.0;
    buildFinish(m_sendBuf);
    m_pHidCtrl->sendData(m_sendBuf, kReportSize);
}

void MainComponent::removalCallBack()
{
    // Only an update under way (states 1 to 6) is broken by the removal; a state the worker has
    // just left meanwhile is kept.
    auto state = m_updState.load();
    do
    {
        if (state < kStateWaitStart || state > kStatePoll)
            return;
    } while (!m_updState.compare_exchange_weak(state, kErrRemoved));

    wait(m_removalPauseMs);
    m_responseEvent.signal();
    if (isThreadRunning())
        stopThread(kStopTimeoutMs);
    RequestRedraw();
}

void MainComponent::matchingCallBack()
{
    // Nothing: the link keeps the connected flag that OK reads.
}

void MainComponent::inputCallBack(int)
{
    const auto count = std::min<juce::uint32>((juce::uint32)m_pHidCtrl->m_dataLen, kReportSize);
    if (count == 0)
        return;
    {
        const juce::ScopedLock lock(m_replyLock);
        std::memcpy(m_recvBuf, m_pHidCtrl->m_data, count);
    }
    std::memset(m_pHidCtrl->m_data, 0, sizeof m_pHidCtrl->m_data);
    if (isThreadRunning())
        m_responseEvent.signal();
}
