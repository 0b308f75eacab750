// FaultyDatabase: the real store database with failures injected on request, for the failure
// paths of a run that a healthy SQLite never takes (a commit refused, a query failing on a lost
// connection, a link that stays down for a stretch of ticks). Everything else goes to the
// wrapped database unchanged. An open SQLite connection keeps working on a deleted file, so the
// loss of the link itself is played here.
//
// NewLink() is an opener for StoreConnection: each call is one connection made to this
// database (failing while the link is down or a failed reconnection was asked for). As a real
// dead link, every link made so far stays dead once a connection-lost failure came through it:
// only a new link works again.
//
// Test thread only.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "database/database.h"

namespace zlv::test {

// How an injected failure is thrown: an ordinary DatabaseError, or the lost link.
enum class Failure { kOther, kConnectionLost };

class FaultyDatabase : public Database {
 public:
  explicit FaultyDatabase(std::unique_ptr<Database> real) : real_(std::move(real)) {}

  Database& real() { return *real_; }

  // While down, every call and every new link fails with the lost connection's text.
  void SetLinkDown(bool down) { link_down_ = down; }
  // The next `count` new links fail as a reconnection to a server still starting does.
  void FailNextLinks(int count) { link_failures_ = count; }
  int links_made() const { return links_made_; }
  // A new connection to this database, for StoreConnection's opener. A new connection holds
  // nothing of the old one's transaction.
  std::unique_ptr<Database> NewLink() {
    if (link_down_ || link_failures_ > 0) {
      if (link_failures_ > 0) --link_failures_;
      throw ConnectionLostError("Falha de conexão");
    }
    if (real_->InTransaction()) real_->Rollback();
    return std::make_unique<Link>(*this, ++links_made_);
  }

  // The next commit throws DatabaseError(message); the transaction stays open, as a refused
  // COMMIT leaves it.
  void FailNextCommit(std::string message, Failure kind = Failure::kOther) {
    commit_failure_ = std::move(message);
    commit_kind_ = kind;
  }
  // Every rollback throws DatabaseError(message), until cleared, as on a lost connection.
  void FailRollbacks(std::string message, Failure kind = Failure::kOther) {
    rollback_failure_ = std::move(message);
    rollback_kind_ = kind;
  }
  // Every query whose text holds the fragment throws DatabaseError(message), until cleared.
  void FailQueries(std::string fragment, std::string message, Failure kind = Failure::kOther) {
    query_fragment_ = std::move(fragment);
    query_failure_ = std::move(message);
    query_kind_ = kind;
  }
  // Every command whose text holds the fragment throws DatabaseError(message), until cleared.
  void FailExecutes(std::string fragment, std::string message, Failure kind = Failure::kOther) {
    execute_fragment_ = std::move(fragment);
    execute_failure_ = std::move(message);
    execute_kind_ = kind;
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
    link_down_ = false;
    link_failures_ = 0;
  }

  Dialect dialect() const override { return real_->dialect(); }
  std::string dbms_name() const override { return real_->dbms_name(); }
  std::string driver_name() const override { return real_->driver_name(); }
  DataPacket Query(const std::string& sql, const std::vector<Variant>& params,
                   const QueryOptions& options) override {
    ThrowWhileDown();
    if (!query_fragment_.empty() && sql.find(query_fragment_) != std::string::npos) {
      Throw(query_kind_, query_failure_);
    }
    return real_->Query(sql, params, options);
  }
  int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                  int timeout_seconds) override {
    ThrowWhileDown();
    if (!execute_fragment_.empty() && sql.find(execute_fragment_) != std::string::npos) {
      Throw(execute_kind_, execute_failure_);
    }
    return real_->Execute(sql, params, timeout_seconds);
  }
  void Begin() override {
    ThrowWhileDown();
    if (before_begin_) before_begin_();
    real_->Begin();
  }
  void Commit() override {
    ThrowWhileDown();
    if (!commit_failure_.empty()) Throw(commit_kind_, std::exchange(commit_failure_, {}));
    real_->Commit();
  }
  void Rollback() override {
    ThrowWhileDown();
    if (!rollback_failure_.empty()) Throw(rollback_kind_, rollback_failure_);
    real_->Rollback();
  }
  bool InTransaction() const override { return real_->InTransaction(); }

 private:
  // One connection handed to StoreConnection: everything goes to the FaultyDatabase.
  class Link : public Database {
   public:
    Link(FaultyDatabase& db, int number) : db_(db), number_(number) {}
    Dialect dialect() const override { return db_.dialect(); }
    std::string dbms_name() const override { return db_.dbms_name(); }
    std::string driver_name() const override { return db_.driver_name(); }
    DataPacket Query(const std::string& sql, const std::vector<Variant>& params,
                     const QueryOptions& options) override {
      ThrowWhenDead();
      return db_.Query(sql, params, options);
    }
    int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                    int timeout_seconds) override {
      ThrowWhenDead();
      return db_.Execute(sql, params, timeout_seconds);
    }
    void Begin() override {
      ThrowWhenDead();
      db_.Begin();
    }
    void Commit() override {
      ThrowWhenDead();
      db_.Commit();
    }
    void Rollback() override {
      ThrowWhenDead();
      db_.Rollback();
    }
    bool InTransaction() const override { return db_.InTransaction(); }

   private:
    void ThrowWhenDead() const {
      if (number_ <= db_.dead_links_) throw ConnectionLostError("Falha de conexão");
    }
    FaultyDatabase& db_;
    int number_;
  };

  [[noreturn]] void Throw(Failure kind, const std::string& message) {
    if (kind == Failure::kConnectionLost) {
      dead_links_ = links_made_;
      throw ConnectionLostError(message);
    }
    throw DatabaseError(message);
  }
  void ThrowWhileDown() {
    if (link_down_) Throw(Failure::kConnectionLost, "Falha de conexão");
  }

  std::unique_ptr<Database> real_;
  bool link_down_ = false;
  int link_failures_ = 0;
  int links_made_ = 0;
  int dead_links_ = 0;  // the links up to this one met a lost connection
  Failure commit_kind_ = Failure::kOther;
  Failure rollback_kind_ = Failure::kOther;
  Failure query_kind_ = Failure::kOther;
  Failure execute_kind_ = Failure::kOther;
  std::string commit_failure_;
  std::string query_fragment_;
  std::string query_failure_;
  std::string execute_fragment_;
  std::string execute_failure_;
  std::string rollback_failure_;
  std::function<void()> before_begin_;
};

}  // namespace zlv::test
