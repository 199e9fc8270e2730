#include "Rendering/Renderer.h"

#include <QMetaObject>
#include <set>

namespace {

// Every live renderer, for tests that let all background work finish between steps.
std::mutex& registryMutex() {
  static std::mutex mutex;
  return mutex;
}
std::set<Renderer*>& registry() {
  static std::set<Renderer*> renderers;
  return renderers;
}

}  // namespace

Renderer::Renderer(int64_t longEdge, int64_t capacity, RenderCache::Backend backend)
    : longEdge_(longEdge),
      capacity_(capacity),
      cache_(longEdge, capacity, std::move(backend)),
      guiContext_(std::make_unique<QObject>()) {
  worker_ = std::thread([this] { workLoop(); });
  std::lock_guard lock(registryMutex());
  registry().insert(this);
}

Renderer::~Renderer() {
  {
    std::lock_guard lock(registryMutex());
    registry().erase(this);
  }
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    normal_.clear();
    low_.clear();
  }
  wake_.notify_all();
  worker_.join();
  // Results already posted are dropped with their target; then every caller still waiting
  // resumes, stopped.
  guiContext_.reset();
  auto waiting = std::move(pending_);
  for (const auto& call : waiting) call->stop();
}

Renderer::Call<LinearImage> Renderer::proxy(const std::filesystem::path& url,
                                            const ConversionSettings& settings,
                                            RenderPriority priority) {
  return perform([url, settings](RenderCache& cache) { return cache.proxy(url, settings); },
                 priority);
}

Renderer::Call<FilmAnalysis> Renderer::analysis(const std::filesystem::path& url,
                                                const ConversionSettings& settings,
                                                RenderPriority priority) {
  return perform([url, settings](RenderCache& cache) { return cache.analysis(url, settings); },
                 priority);
}

Renderer::Call<std::vector<std::vector<Spot>>> Renderer::findDust(
    const std::filesystem::path& url, const ConversionSettings& settings,
    std::vector<DustSearch::Sample> samples, double sensitivity) {
  return perform([url, settings, samples = std::move(samples), sensitivity](RenderCache& cache) {
    return DustSearch::run(cache, url, settings, samples, sensitivity);
  });
}

Renderer::Call<PreviewImage> Renderer::render(const std::filesystem::path& url,
                                              const ConversionSettings& settings, bool crop,
                                              RenderPriority priority) {
  return perform(
      [url, settings, crop](RenderCache& cache) { return cache.render(url, settings, crop); },
      priority);
}

Renderer::Call<Done> Renderer::invalidate(const std::filesystem::path& url) {
  return perform([url](RenderCache& cache) { cache.invalidate(url); });
}

Renderer::Call<Done> Renderer::clear() {
  return perform([](RenderCache& cache) { cache.clear(); });
}

void Renderer::hold() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void Renderer::release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  wake_.notify_all();
}

void Renderer::enqueue(std::function<void()> work, RenderPriority priority) {
  ++outstanding_;
  {
    std::lock_guard lock(mutex_);
    (priority == RenderPriority::low ? low_ : normal_).push_back(std::move(work));
  }
  wake_.notify_all();
}

void Renderer::deliverOnGui(std::function<void()> delivery) {
  QMetaObject::invokeMethod(
      guiContext_.get(),
      [this, delivery = std::move(delivery)] {
        --outstanding_;
        delivery();
      },
      Qt::QueuedConnection);
}

void Renderer::workLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || (!held_ && (!normal_.empty() || !low_.empty())); });
    if (stopping_) return;
    auto& queue = normal_.empty() ? low_ : normal_;
    std::function<void()> work = std::move(queue.front());
    queue.pop_front();
    running_ = true;
    lock.unlock();
    work();
    work = nullptr;
    lock.lock();
    running_ = false;
    idle_.notify_all();
  }
}

void Renderer::waitUntilIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [&] { return held_ || (!running_ && normal_.empty() && low_.empty()); });
}

bool Renderer::waitForAllIdle() {
  std::set<Renderer*> renderers;
  {
    std::lock_guard lock(registryMutex());
    renderers = registry();
  }
  bool outstanding = false;
  for (Renderer* renderer : renderers) {
    if (!renderer->isBusy()) continue;
    {
      std::lock_guard lock(renderer->mutex_);
      if (renderer->held_) continue;
    }
    renderer->waitUntilIdle();
    outstanding = true;
  }
  return outstanding;
}
