#include "database/transactions.h"

#include <gtest/gtest.h>

#include "support/test_database.h"

namespace zlv {
namespace {

class TransactionsTest : public test::DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    if (IsSkipped()) return;
    db_->Execute("CREATE TABLE T (A INTEGER)", {});
  }
  void Insert(int a) { db_->Execute("INSERT INTO T (A) VALUES (?)", {a}); }
  size_t Committed() { return Connect()->Query("SELECT A FROM T", {}).rows.size(); }
};
ZLV_ON_BOTH_DRIVERS(TransactionsTest);

TEST_P(TransactionsTest, SecondOpenJoinsTheTransactionAlreadyOpen) {
  AbreTransacao(*db_);
  Insert(1);
  AbreTransacao(*db_);  // a second order finding the first one's transaction
  Insert(2);
  EXPECT_EQ(Committed(), 0u);
  ConfirmaTransacao(*db_);
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(Committed(), 2u);
}

TEST_P(TransactionsTest, ClosingWithNoneOpenDoesNothing) {
  EXPECT_NO_THROW(ConfirmaTransacao(*db_));
  EXPECT_NO_THROW(DesfazTransacao(*db_));
  AbreTransacao(*db_);
  Insert(1);
  ConfirmaTransacao(*db_);
  EXPECT_NO_THROW(ConfirmaTransacao(*db_));
  EXPECT_NO_THROW(DesfazTransacao(*db_));  // must not undo what was committed
  EXPECT_EQ(Committed(), 1u);
}

TEST_P(TransactionsTest, RollbackUndoesEverySharedWrite) {
  AbreTransacao(*db_);
  Insert(1);
  AbreTransacao(*db_);
  Insert(2);
  DesfazTransacao(*db_);
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(Committed(), 0u);
  Insert(3);  // back in auto-commit
  EXPECT_EQ(Committed(), 1u);
}

TEST_P(TransactionsTest, FailedStatementLeavesTheTransactionOpenForTheRollback) {
  AbreTransacao(*db_);
  Insert(1);
  EXPECT_THROW(db_->Execute("INSERT INTO NAOEXISTE VALUES (1)", {}), DatabaseError);
  EXPECT_TRUE(db_->InTransaction());
  DesfazTransacao(*db_);
  EXPECT_EQ(Committed(), 0u);
}

}  // namespace
}  // namespace zlv
