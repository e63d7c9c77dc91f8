#define X
select 1
