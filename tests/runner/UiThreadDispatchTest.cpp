// The hand-off of engine output to the user-interface thread: chunks arrive on
// that thread, in order, while it is busy, and the worker never waits for it.
#include <QCoreApplication>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>

#include "RunnerTestSupport.h"
#include "UiThreadDispatch.h"

using namespace runner_test;

class UiThreadDispatchTest : public QObject {
  Q_OBJECT

 private slots:
  void chunksArriveInOrderOnTheUiThreadWhileItIsBusy() {
    QObject context;
    QStringList received;
    bool all_on_ui_thread = true;
    OutputProcedure procedure = PostToUiThread(&context, [&](const std::string& chunk) {
      received << QString::fromStdString(chunk);
      all_on_ui_thread =
          all_on_ui_thread && QThread::currentThread() == QCoreApplication::instance()->thread();
    });

    std::atomic<bool> worker_done{false};
    std::thread worker([&] {
      for (int i = 0; i < 500; ++i) procedure("chunk " + std::to_string(i));
      worker_done = true;
    });
    // The user-interface thread is busy and runs no events meanwhile; the
    // worker must get through all its chunks anyway.
    QDeadlineTimer deadline(20000);
    while (!worker_done && !deadline.hasExpired()) QThread::msleep(5);
    QVERIFY2(worker_done, "the worker waited for the user-interface thread");
    worker.join();
    QVERIFY(received.isEmpty());

    QCoreApplication::processEvents();
    QCOMPARE(received.size(), 500);
    for (int i = 0; i < 500; ++i) QCOMPARE(received[i], QString("chunk %1").arg(i));
    QVERIFY(all_on_ui_thread);
  }

  void theUiThreadMayFreeARunningWorkerWithoutADeadlock() {
    TempFolder folder;
    QObject context;
    std::string received;
    {
      TAdvanceSystem worker(
          {"", {FixtureProgram(), "repeat:6:200:tick;"}},
          PostToUiThread(&context, [&](const std::string& chunk) { received += chunk; }),
          folder.Path());
      worker.Start();
      // Freeing waits for the engine to end while this thread runs no events.
    }
    QCOMPARE(received, std::string());
    QCoreApplication::processEvents();
    std::string expected;
    for (int i = 0; i < 6; ++i) expected += "tick;";
    QCOMPARE(received, expected);
  }
};

QTEST_GUILESS_MAIN(UiThreadDispatchTest)
#include "UiThreadDispatchTest.moc"
