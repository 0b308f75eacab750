// FaultyDatabase: the real store database with failures injected on request, for the failure
// paths of a run that a healthy SQLite never takes (a commit refused, a query failing with the
// message of a lost connection). Everything else goes to the wrapped database unchanged.
//
// Test thread only.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "storedb/database.h"

namespace zlv::test {

class FaultyDatabase : public Database {
 public:
  explicit FaultyDatabase(std::unique_ptr<Database> real) : real_(std::move(real)) {}

  Database& real() { return *real_; }

  // The next commit throws DatabaseError(message); the transaction stays open, as a refused
  // COMMIT leaves it.
  void FailNextCommit(std::string message) { commit_failure_ = std::move(message); }
  // Every rollback throws DatabaseError(message), until cleared, as on a lost connection.
  void FailRollbacks(std::string message) { rollback_failure_ = std::move(message); }
  // Every query whose text holds the fragment throws DatabaseError(message), until cleared.
  void FailQueries(std::string fragment, std::string message) {
    query_fragment_ = std::move(fragment);
    query_failure_ = std::move(message);
  }
  // Every command whose text holds the fragment throws DatabaseError(message), until cleared.
  void FailExecutes(std::string fragment, std::string message) {
    execute_fragment_ = std::move(fragment);
    execute_failure_ = std::move(message);
  }
  // Runs before every BEGIN reaches the database, on the caller's thread: a test makes another
  // writer take the lock there, or throws, at the moment of its choosing.
  void BeforeBegin(std::function<void()> hook) { before_begin_ = std::move(hook); }
  void ClearFaults() {
    commit_failure_.clear();
    query_fragment_.clear();
    execute_fragment_.clear();
    rollback_failure_.clear();
    before_begin_ = nullptr;
  }

  Dialect dialect() const override { return real_->dialect(); }
  std::string dbms_name() const override { return real_->dbms_name(); }
  DataPacket Query(const std::string& sql, const std::vector<Variant>& params,
                   const QueryOptions& options) override {
    if (!query_fragment_.empty() && sql.find(query_fragment_) != std::string::npos) {
      throw DatabaseError(query_failure_);
    }
    return real_->Query(sql, params, options);
  }
  int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                  int timeout_seconds) override {
    if (!execute_fragment_.empty() && sql.find(execute_fragment_) != std::string::npos) {
      throw DatabaseError(execute_failure_);
    }
    return real_->Execute(sql, params, timeout_seconds);
  }
  void Begin() override {
    if (before_begin_) before_begin_();
    real_->Begin();
  }
  void Commit() override {
    if (!commit_failure_.empty()) {
      throw DatabaseError(std::exchange(commit_failure_, std::string()));
    }
    real_->Commit();
  }
  void Rollback() override {
    if (!rollback_failure_.empty()) throw DatabaseError(rollback_failure_);
    real_->Rollback();
  }
  bool InTransaction() const override { return real_->InTransaction(); }

 private:
  std::unique_ptr<Database> real_;
  std::string commit_failure_;
  std::string query_fragment_;
  std::string query_failure_;
  std::string execute_fragment_;
  std::string execute_failure_;
  std::string rollback_failure_;
  std::function<void()> before_begin_;
};

}  // namespace zlv::test
