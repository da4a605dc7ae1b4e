-- wrk script: POST v1/improve with a fresh Idempotency-Key on every request, so that each one is
-- a real rewrite and not the cheap 409 of a repeat.
local counter = 0
local threads = 0
local token = os.getenv("STANDIN_TOKEN")
local body = '{"text":"hey i dont think teh plan is really good in order to ship asap","mode":"Grammar","custom_instruction":""}'

setup = function(thread)
    thread:set("id", threads)
    threads = threads + 1
end

request = function()
    counter = counter + 1
    local key = string.format("%08X-0000-4000-8000-%012X", id, counter)
    return wrk.format("POST", "/v1/improve", {
        ["Authorization"] = "Bearer " .. token,
        ["Content-Type"] = "application/json",
        ["Accept"] = "application/json",
        ["Idempotency-Key"] = key,
    }, body)
end

done = function(summary, latency, requests)
    io.write(string.format("non-2xx or errors: %d\n",
        summary.errors.status + summary.errors.connect + summary.errors.read + summary.errors.write + summary.errors.timeout))
end
